#!/usr/bin/env bash
# The main job: builds the Linux bundle, shows what the plug-in describes,
# renders the built-in sample frame through it in CubeMap mode to an image,
# in 3D visualization mode publishes the sample's point cloud, and shows that
# cloud in the viewer with its gamut badge (pictures of its window go to
# out/viewer.png, and with the View menu open to out/viewer-menu.png).
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup-debian.sh
cmake --preset linux >/dev/null
cmake --build --preset linux

host=build/linux/bin/orvalis-host
bundle=build/linux/Orvalis.ofx.bundle
out=out
mkdir -p "$out"

echo "=== What the plug-in describes"
"$host" describe "$bundle"

echo "=== CubeMap mode: the sample frame with its cube map, 8-bit"
"$host" render "$bundle" --sample 1920x1080 --depth 8 --param pluginMode=1 --output "$out/cubemap.png"

echo "=== 3D visualization mode: the sample frame's cloud, float"
"$host" render "$bundle" --sample 1920x1080 --depth float --param pluginMode=0 --output "$out/passthrough.exr" --keep-alive 1000
# The cloud also went to the points file in the user's private temporary folder.
tmp="${XDG_RUNTIME_DIR:-${TMPDIR:-/tmp}/orvalis-$(id -u)}"
if [ -f "$tmp/ov_points.bin" ]; then
  echo "published $(od -An -tu4 -N4 "$tmp/ov_points.bin" | tr -d ' ') points: $tmp/ov_points.bin (and its config file beside it)"
fi

echo "=== The viewer: the sample frame's cloud in the RGB cube"
# The host has ended, so the block is gone; the viewer reads the points file
# the plug-in left in the temporary folder. This viewer gets settings of its
# own with the gamut indicator on; the user's settings stay as they are.
viewer=$bundle/Contents/Linux-x86-64/Vantorel
viewer_config=$(mktemp -d)
mkdir -p "$viewer_config/Orvalis"
printf 'BackgroundColor=0\nHighlightOutOfRange=0\nGamutIndicator=1\n' >"$viewer_config/Orvalis/settings.ini"
pictures=("$out/viewer.png" --badge --menu "$out/viewer-menu.png")
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  echo "(its settings, with the gamut indicator on, are in $viewer_config)"
  XDG_CONFIG_HOME=$viewer_config scripts/viewer-picture.sh "$viewer" "${pictures[@]}" --leave-open
else
  echo "(no display: the viewer runs on a virtual one and is closed after the pictures)"
  XDG_CONFIG_HOME=$viewer_config xvfb-run -a -s "-screen 0 1280x1024x24" scripts/viewer-picture.sh "$viewer" "${pictures[@]}"
  rm -rf "$viewer_config"
fi
echo "Output images are in $out/"
