#!/usr/bin/env bash
# Installs what is missing, builds the Windows programs, lays out a demo program folder
# (build/demo: optimizer.exe, lzvtEditor.exe and Optimal\ with the sample schemes) and starts
# the optimizer under Wine in a private prefix (build/wine/demo) inside a virtual desktop.
# Without a display it runs on Xvfb, saves a screenshot and says where.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target optimizer lzvtEditor -j "$(nproc)"

# The demo folder is kept between runs: schemes the user saved into Optimal stay there, and a
# sample the user changed is not overwritten.
demo=$root/build/demo
mkdir -p "$demo/Optimal"
cp build/windows/optimizer/optimizer.exe build/windows/editor/lzvtEditor.exe "$demo/"
cp -n samples/*.lzvt "$demo/Optimal/"

# shellcheck source=wine-prefix.sh
source scripts/wine-prefix.sh
prefix=$root/build/wine/demo
lz_wine_ensure_prefix "$prefix"
lz_wine_env
export WINEPREFIX=$prefix

if [[ -n ${DISPLAY:-} ]]; then
  echo "Starting the optimizer from $demo"
  cd "$demo"
  exec "$WINELOADER" optimizer.exe
fi

shot=$root/build/screenshots/optimizer.png
mkdir -p "$(dirname "$shot")"
echo "No display: running on Xvfb, a screenshot goes to $shot"
cd "$demo"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  "$WINELOADER" optimizer.exe & program=$!
  sleep "${LZ_RUN_SECONDS:-6}"
  import -window root "$1"
  wineserver -k 2>/dev/null; wait $program 2>/dev/null; true
' run "$shot"
echo "Screenshot of the optimizer's main window: $shot"
