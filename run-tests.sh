#!/usr/bin/env bash
# Builds every preset with warnings as errors and runs every test:
# Linux natively, Windows under Wine, Linux again under ASan/UBSan, and the
# threaded tests under TSan, and every fuzz target for 20 seconds over a copy
# of its corpus. Anything that draws runs under Xvfb.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup-debian.sh
source scripts/wine-env.sh

if [ $# -gt 0 ]; then presets=("$@"); else presets=(linux windows linux-asan linux-tsan fuzz); fi
status=0
for preset in "${presets[@]}"; do
  echo "=== $preset: configure and build"
  cmake --preset "$preset" -DORVALIS_WERROR=ON >/dev/null
  cmake --build --preset "$preset"
  echo "=== $preset: tests"
  if [ "$preset" = fuzz ]; then
    Tests/fuzz/run.sh build/fuzz 20 || status=1
  else
    xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset "$preset" || status=1
  fi
done
wineserver -k 2>/dev/null || true
exit $status
