# Sourced: a quiet Wine prefix of our own, made once, for the cross-built tests.
export WINEDEBUG=-all
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-orvalis}"
# No Mono or Gecko prompts on a machine without network.
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w || true
fi
