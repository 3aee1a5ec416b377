#!/usr/bin/env bash
# Runs one cross-built test executable under Wine on a private X server, in a private Wine
# prefix, and passes its exit code through:
#   wine-run.sh EXE [ARGS...]
#
# A template prefix is made once per build tree (under a lock) next to CMakeCache.txt of the
# tree that holds EXE, or at $LZ_WINE_TEMPLATE. Each run clones it by hard links, starts its
# own Xvfb, bounds the run with a timeout, stops its wineserver and removes the clone, so no
# registry, clipboard or process of one run can reach another.
#
# Environment: LZ_WINE_TEMPLATE (template prefix path), LZ_WINE_TIMEOUT (seconds, default 280),
# LZ_WINE_SCREEN (Xvfb screen, default 1280x1024x24), LZ_WINE_KEEP=1 keeps the clone.

set -u

if (($# < 1)); then
  echo "usage: $0 EXE [ARGS...]" >&2
  exit 2
fi

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../../scripts/wine-prefix.sh
source "$script_dir/../../scripts/wine-prefix.sh"

exe=$(realpath -- "$1")
shift
[[ -f $exe ]] || { echo "wine-run.sh: no such executable: $exe" >&2; exit 2; }

build_root() {
  local dir
  dir=$(dirname "$exe")
  while [[ $dir != / ]]; do
    [[ -f $dir/CMakeCache.txt ]] && { echo "$dir"; return; }
    dir=$(dirname "$dir")
  done
  echo "${TMPDIR:-/tmp}/lz-wine-$(id -u)"
}

root=$(build_root)
template=${LZ_WINE_TEMPLATE:-$root/wine/template}
runs_dir=$(dirname "$template")/runs

lz_wine_ensure_prefix "$template" || { echo "wine-run.sh: cannot make the Wine prefix $template" >&2; exit 3; }
lz_wine_env

mkdir -p "$runs_dir"
run_dir=$(mktemp -d "$runs_dir/run.XXXXXX") || exit 3
export WINEPREFIX=$run_dir/prefix

runner_pid=
clean_up() {
  if [[ -n $runner_pid ]] && kill -0 "$runner_pid" 2>/dev/null; then
    # timeout leads its own process group: end Xvfb and Wine's start process with it.
    kill -TERM -- "-$runner_pid" 2>/dev/null
    sleep 0.5
    kill -KILL -- "-$runner_pid" 2>/dev/null
  fi
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
  if [[ ${LZ_WINE_KEEP:-0} != 1 ]]; then
    rm -rf "$run_dir"
  else
    echo "wine-run.sh: kept $run_dir" >&2
  fi
}
trap 'clean_up; exit 143' TERM
trap 'clean_up; exit 130' INT
trap 'clean_up; exit 129' HUP

lz_wine_clone_prefix "$template" "$WINEPREFIX" || { clean_up; exit 3; }

# Inside the X session: run the program, then stop this prefix's Wine processes (the virtual
# desktop among them) while their display still exists.
inner='"$WINELOADER" "$@"; rc=$?; wineserver -k 2>/dev/null; wineserver -w 2>/dev/null; exit $rc'

# A random first display number keeps parallel runs from racing for the same one.
timeout -k 10 "${LZ_WINE_TIMEOUT:-280}" \
  xvfb-run -a -n $((100 + RANDOM % 3000)) -s "-screen 0 ${LZ_WINE_SCREEN:-1280x1024x24} -nolisten tcp" \
  bash -c "$inner" wine-run "$exe" "$@" &
runner_pid=$!
wait "$runner_pid"
rc=$?
if ((rc == 124 || rc == 137)); then
  echo "wine-run.sh: $(basename "$exe") did not finish within ${LZ_WINE_TIMEOUT:-280} s" >&2
fi
clean_up
exit "$rc"
