#!/usr/bin/env bash
# Times the real optimizer.exe and lzvtEditor.exe under Wine and prints the figures: builds
# the windows preset, then runs the undo record's benchmark (bench/undo_bench.cpp) and
# bench/wine's driver, each in a private Wine prefix and X server. The driver ends with every
# ratio beside its target, measured in the one run: a large scheme's first step against a
# small one's, each program's start against the bare window program (bench/wine/
# bare_window.cpp, built with it), reading a scheme against counting its lines, and
# "optimizer.exe /run" of 10,000 registry writes against reg.exe importing the same values
# and against the bare writes (bare_window writes).
#   scripts/bench-wine.sh [BUILD_DIR] [-- DRIVER_OPTIONS...]
# BUILD_DIR defaults to the preset's own (build/windows). Driver options: --repeat N (runs
# per measurement, default 5), --steps N (size of the large schemes, default 100000),
# --catalogue N (schemes in the full Optimal folder, default 10000).
# A benchmark, not a test: it is never part of ctest, and a missed target is reported, not
# failed.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=build/windows
if (($#)) && [[ $1 != -- ]]; then
  build_dir=$1
  shift
fi
[[ ${1:-} == -- ]] && shift

scripts/install-deps.sh >/dev/null
cmake --preset windows -B "$build_dir" >/dev/null
cmake --build "$build_dir" --target program_bench undo_bench -j "$(nproc)"

# Other work on the machine shows in the figures: say how busy it was.
echo "Load average before the run: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) CPUs"
# One bounded run; generating and listing 10 MB schemes takes a while under Wine.
export LZ_WINE_TIMEOUT=${LZ_WINE_TIMEOUT:-1800}
tests/e2e/wine-run.sh "$build_dir/bench/undo_bench.exe"
exec tests/e2e/wine-run.sh "$build_dir/bench/wine/program_bench.exe" "$@"
