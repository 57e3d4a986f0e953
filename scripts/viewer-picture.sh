#!/usr/bin/env bash
# Starts the viewer on the current X display, waits until its window shows a
# cloud, and writes a picture of the window as the X server shows it.
#   scripts/viewer-picture.sh VIEWER PICTURE [--badge] [--menu MENU_PICTURE] [--leave-open]
# --badge: also wait for the gamut badge (the viewer's settings must have the
# indicator on). --menu: then click "View" on the menu bar and picture the
# open menu too (closed again with Escape). Without --leave-open the viewer
# is closed afterwards (its normal shutdown, exit code 0); with it the viewer
# keeps running for the user.
#
# "Shows a cloud" means: the window differs from the empty cube that the same
# viewer draws with no data, which is first pictured on a private virtual
# display (a cloud may lie along the cube's edges, so counting lit pixels
# alone cannot tell).
set -euo pipefail

reference_mode=""
if [ "${1:-}" = "--reference" ]; then
  reference_mode=1
  shift
fi
viewer=$1
picture=$2
shift 2
leave_open=""
badge=""
menu_picture=""
while [ $# -gt 0 ]; do
  case "$1" in
    --leave-open) leave_open=--leave-open ;;
    --badge) badge=1 ;;
    --menu) menu_picture=$2; shift ;;
    *) echo "viewer picture: unknown option $1" >&2; exit 2 ;;
  esac
  shift
done
deadline_s=${VIEWER_PICTURE_DEADLINE:-120}
screen="-screen 0 1280x1024x24"

log=$(mktemp)
work=$(mktemp -d)
pid=""

cleanup() {
  rm -rf "$work" "$log"
}
trap cleanup EXIT

fail() {
  echo "viewer picture: $*" >&2
  sed 's/^/  viewer: /' "$log" >&2 || true
  [ -z "$pid" ] || kill -TERM "$pid" 2>/dev/null || true
  exit 1
}

lit_fraction() {
  convert "$1" -colorspace gray -threshold 4% -format "%[fx:mean]" info: 2>/dev/null || echo 0
}

at_least() {
  awk -v a="$1" -v b="$2" 'BEGIN { exit !(a >= b) }'
}

# True when the picture shows a drawn frame with more than the reference's
# empty cube.
shows_cloud() {
  local shot=$1 reference=$2
  at_least "$(lit_fraction "$shot")" 0.005 || return 1
  if [ "$(identify -format '%wx%h' "$shot")" = "$(identify -format '%wx%h' "$reference")" ]; then
    local differing
    differing=$(compare -metric AE -fuzz 10% "$shot" "$reference" null: 2>&1 >/dev/null || true)
    at_least "${differing%% *}" 300
  else
    # A window manager's frame changed the size: compare how much is lit.
    at_least "$(lit_fraction "$shot")" "$(awk -v r="$(lit_fraction "$reference")" 'BEGIN { print r + 0.002 }')"
  fi
}

# How many pixels of the picture's region WxH+X+Y lie within 24 of one of
# the colours given as "r,g,b".
count_near() {
  local shot=$1 region=$2
  shift 2
  convert "$shot" -crop "$region" +repage -depth 8 txt:- 2>/dev/null | awk -v colours="$*" '
    BEGIN { n = split(colours, list, " ") }
    /^[0-9]/ {
      split($2, c, /[(),]/)  # "(r,g,b)"
      for (i = 1; i <= n; i++) {
        split(list[i], want, ",")
        if ((c[2] - want[1])^2 + (c[3] - want[2])^2 + (c[4] - want[3])^2 <= 24 * 24) { hits++; break }
      }
    }
    END { print hits + 0 }'
}

# True when the badge's dot, green or red, shows in the top-right corner
# (under the menu bar the viewer draws across the top).
shows_badge() {
  local width
  width=$(identify -format '%w' "$1")
  at_least "$(count_near "$1" "150x80+$((width - 150))+0" "46,204,112" "255,56,56")" 20
}

# True when the View menu's popup (background (32, 32, 32)) is open.
shows_menu() {
  at_least "$(count_near "$1" "100%x100%+0+0" "32,32,32")" 5000
}

if [ -z "$reference_mode" ]; then
  reference="$work/empty-cube.png"
  empty_temp=$(mktemp -d)  # 0700: a temporary folder without points files
  XDG_RUNTIME_DIR=$empty_temp xvfb-run -a -s "$screen" "$0" --reference "$viewer" "$reference" ||
    { rm -rf "$empty_temp"; fail "could not picture the empty cube"; }
  rm -rf "$empty_temp"
fi

setsid "$viewer" >"$log" 2>&1 </dev/null &
pid=$!

start=$SECONDS
window=""
shot="$work/shot.png"
while :; do
  kill -0 "$pid" 2>/dev/null || { pid=""; fail "the viewer ended before it showed a cloud"; }
  [ $((SECONDS - start)) -lt "$deadline_s" ] || fail "nothing in the viewer's window after ${deadline_s} s"
  if [ -z "$window" ]; then
    window=$(xdotool search --all --pid "$pid" --class '^OrvalisViewer$' 2>/dev/null | head -n 1 || true)
  fi
  if [ -n "$window" ] && import -silent -window "$window" "$shot" 2>/dev/null; then
    if [ -n "$reference_mode" ]; then
      at_least "$(lit_fraction "$shot")" 0.005 && ready=1 || ready=""  # the first frame is up
    else
      shows_cloud "$shot" "$reference" && { [ -z "$badge" ] || shows_badge "$shot"; } && ready=1 || ready=""
    fi
    if [ -n "$ready" ]; then
      # A later frame, so that the picture is a settled one; it must pass too.
      sleep 1
      import -silent -window "$window" "$shot" 2>/dev/null || continue
      if [ -n "$reference_mode" ] || shows_cloud "$shot" "$reference"; then
        cp "$shot" "$picture"
        break
      fi
    fi
  fi
  sleep 0.5
done
[ -n "$reference_mode" ] || echo "viewer window $window: picture in $picture ($(identify -format '%wx%h' "$picture"))"

if [ -n "$menu_picture" ]; then
  # "View" sits at the left end of the menu bar, the top rows of the window.
  xdotool mousemove --window "$window" 14 10 click 1
  start=$SECONDS
  until import -silent -window "$window" "$shot" 2>/dev/null && shows_menu "$shot"; do
    kill -0 "$pid" 2>/dev/null || { pid=""; fail "the viewer ended before it showed its menu"; }
    [ $((SECONDS - start)) -lt "$deadline_s" ] || fail "no View menu after ${deadline_s} s"
    sleep 0.5
  done
  cp "$shot" "$menu_picture"
  echo "the View menu open: picture in $menu_picture"
  xdotool key Escape  # to the focused window: the viewer, just clicked
fi

if [ "$leave_open" = "--leave-open" ]; then
  echo "The viewer (process $pid) stays open; close its window when done."
  exit 0
fi
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || { echo "viewer picture: the viewer ended with exit code $status" >&2; exit 1; }
