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
# An X session that ends before the program starts (xvfb-run exits at once, and silently when
# xauth fails) is reported with what Xvfb and xauth said and tried again, at most three times; the
# program's own exit code is never retried.
#
# Environment: LZ_WINE_TEMPLATE (template prefix path), LZ_WINE_TIMEOUT (seconds, default 280),
# LZ_WINE_SCREEN (Xvfb screen, default 1280x1024x24), LZ_WINE_KEEP=1 keeps the clone,
# LZ_WINE_DPI=N runs on a screen of N DPI (a template of its own, made with that LogPixels).
#
# LZ_WINE_LANG=LOCALE (default zh_CN.UTF-8) runs Wine under another locale, en_US.UTF-8 for a
# Windows whose display language is English (ANSI code page 1252). The locale is made when it
# is missing (as root; anyone else needs it made already). A prefix keeps the locale of its
# first boot, so each locale has its own template: template-LOCALE beside the default's
# template, or LZ_WINE_TEMPLATE, which must have been made under that locale.
#
# LZ_WINE_USER=UID (numeric, not 0) runs the Wine side (Xvfb, wine, wineserver) as that
# ordinary user and its primary group, so that files and folders the user may not write stay
# unwritable (Wine run as root writes anywhere). Needs root, or to be that uid already; anyone
# else gets exit code 77 (a skip). The user has its own template and clones in user-UID/ next
# to the template folder (the build tree's wine/ folder): Wine refuses a prefix the running
# user does not own. Each run gets a private HOME, XDG folders, TMPDIR (the wineserver's
# socket and xvfb-run's Xauthority live there) and the program sees LZ_WINE_RUN_AS_USER=1.
# The user runs a copy of EXE, beside copies of what LZ_WINE_STAGE_FROM names (see below).

set -u

if (($# < 1)); then
  echo "usage: $0 EXE [ARGS...]" >&2
  exit 2
fi

# Only this script says whether the program runs as an ordinary user, and from where.
unset LZ_WINE_RUN_AS_USER LZ_WINE_STAGE

run_uid=
if [[ -n ${LZ_WINE_USER:-} ]]; then
  if [[ ! $LZ_WINE_USER =~ ^[0-9]+$ ]] || ((10#$LZ_WINE_USER == 0)); then
    echo "wine-run.sh: LZ_WINE_USER must be the numeric uid of an ordinary user, not '$LZ_WINE_USER'" >&2
    exit 2
  fi
  run_uid=$((10#$LZ_WINE_USER))
  if ((EUID != 0 && EUID != run_uid)); then
    echo "wine-run.sh: skipped: running the program as uid $run_uid needs root, this is uid $EUID" >&2
    exit 77
  fi
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

# The locale first: without it Wine cannot even name a file in Chinese.
if ((EUID == 0)); then
  lz_wine_ensure_locale || { echo "wine-run.sh: cannot make the locale $LZ_WINE_LOCALE" >&2; exit 3; }
elif ! lz_wine_locale_valid "$LZ_WINE_LOCALE" || ! lz_wine_locale_exists "$LZ_WINE_LOCALE"; then
  echo "wine-run.sh: the locale $LZ_WINE_LOCALE is missing; make it as root: scripts/wine-prefix.sh locale $LZ_WINE_LOCALE" >&2
  exit 3
fi

root=$(build_root)
template=${LZ_WINE_TEMPLATE:-$root/wine/$(lz_wine_template_name)}
runs_dir=$(dirname "$template")/runs

# The words that put a command on the Wine side: empty when all runs as root.
wine_side=()
if [[ -n $run_uid ]]; then
  run_gid=$(lz_wine_gid_of "$run_uid")
  lz_wine_switch_to "$run_uid" "$run_gid" || exit 77
  # The user's template and runs go beside root's, in the build tree's wine/ folder, which
  # stays root's while its user-UID part is the user's. A build tree the user cannot reach (a
  # project under a closed folder such as /root) sends them to the temporary folder instead.
  wine_dir=$(dirname "$template")
  mkdir -p "$wine_dir" 2>/dev/null
  if "${LZ_WINE_SWITCH[@]}" test -x "$wine_dir"; then
    user_dir=$wine_dir/user-$run_uid
  else
    user_dir=${TMPDIR:-/tmp}/lz-wine-user-$run_uid
  fi
  if ((EUID == 0)); then
    install -d -o "$run_uid" -g "$run_gid" -m 755 "$user_dir" "$user_dir/runs" ||
      { echo "wine-run.sh: cannot make $user_dir for uid $run_uid" >&2; exit 3; }
    # The prefix script, where the user can read it.
    install -m 644 "$LZ_WINE_PREFIX_SCRIPT" "$user_dir/wine-prefix.sh" ||
      { echo "wine-run.sh: cannot copy the prefix script to $user_dir" >&2; exit 3; }
    LZ_WINE_PREFIX_SCRIPT=$user_dir/wine-prefix.sh
  elif [[ ! -w $user_dir/runs ]]; then
    echo "wine-run.sh: $user_dir/runs is missing or not writable; run once as root to make it" >&2
    exit 3
  fi
  template=$user_dir/$(basename "$template")
  runs_dir=$user_dir/runs
  lz_wine_ensure_user_prefix "$run_uid" "$run_gid" "$template" ||
    { echo "wine-run.sh: cannot make the Wine prefix $template as uid $run_uid" >&2; exit 3; }
else
  lz_wine_ensure_prefix "$template" || { echo "wine-run.sh: cannot make the Wine prefix $template" >&2; exit 3; }
fi
lz_wine_env

mkdir -p "$runs_dir"
run_dir=$(mktemp -d "$runs_dir/run.XXXXXX") || exit 3
export WINEPREFIX=$run_dir/prefix

if [[ -n $run_uid ]]; then
  # A home, XDG folders and temporary folder of this run only. The marker HOME also finds
  # this run's processes in clean_up.
  run_home=$run_dir/home
  mkdir -p "$run_home" "$run_dir/tmp" "$run_dir/xdg-runtime" &&
    chmod 700 "$run_dir/xdg-runtime" &&
    chown -R "$run_uid:$run_gid" "$run_dir" || { rm -rf "$run_dir"; exit 3; }
  run_user=$(getent passwd "$run_uid" | cut -d: -f1)
  wine_side=("${LZ_WINE_SWITCH[@]}" env -u XAUTHORITY -u DBUS_SESSION_BUS_ADDRESS
    HOME="$run_home" USER="${run_user:-$run_uid}" LOGNAME="${run_user:-$run_uid}"
    XDG_CONFIG_HOME="$run_home/.config" XDG_CACHE_HOME="$run_home/.cache"
    XDG_DATA_HOME="$run_home/.local/share" XDG_STATE_HOME="$run_home/.local/state"
    XDG_RUNTIME_DIR="$run_dir/xdg-runtime" TMPDIR="$run_dir/tmp" LZ_WINE_RUN_AS_USER=1)
  # The user runs copies, which need no path into the build tree: the executable, and what
  # LZ_WINE_STAGE_FROM names (host paths separated by ":"), in a folder that stays root's
  # (when this is root), so the user can read but not write them. The program finds that
  # folder in LZ_WINE_STAGE.
  stage=$run_dir/stage
  mkdir -m 755 "$stage" && cp "$exe" "$stage/" || { rm -rf "$run_dir"; exit 3; }
  exe=$stage/$(basename "$exe")
  IFS=: read -ra stage_from <<<"${LZ_WINE_STAGE_FROM:-}"
  for path in "${stage_from[@]}"; do
    [[ -z $path ]] || cp -R "$path" "$stage/" ||
      { echo "wine-run.sh: cannot copy $path for uid $run_uid" >&2; rm -rf "$run_dir"; exit 3; }
  done
  wine_side+=(LZ_WINE_STAGE="$stage")
fi

# Ends, as root if need be, what is left of this run on the user's side: the processes of
# that uid whose environment has this run's HOME.
kill_user_leftovers() {
  local pid left=0
  for pid in $(pgrep -U "$run_uid" 2>/dev/null); do
    if grep -qzxF "HOME=$run_home" "/proc/$pid/environ" 2>/dev/null; then
      kill -KILL "$pid" 2>/dev/null && left=1
    fi
  done
  ((left == 0)) || sleep 0.2
}

runner_pid=
clean_up() {
  if [[ -n $runner_pid ]] && kill -0 "$runner_pid" 2>/dev/null; then
    # timeout leads its own process group: end Xvfb and Wine's start process with it.
    kill -TERM -- "-$runner_pid" 2>/dev/null
    sleep 0.5
    kill -KILL -- "-$runner_pid" 2>/dev/null
  fi
  if [[ -n $run_uid ]]; then
    "${wine_side[@]}" wineserver -k 2>/dev/null
    "${wine_side[@]}" wineserver -w 2>/dev/null
    kill_user_leftovers
  else
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
  fi
  if [[ ${LZ_WINE_KEEP:-0} != 1 ]]; then
    rm -rf "$run_dir"
  else
    echo "wine-run.sh: kept $run_dir" >&2
  fi
}
trap 'clean_up; exit 143' TERM
trap 'clean_up; exit 130' INT
trap 'clean_up; exit 129' HUP

if [[ -n $run_uid ]]; then
  lz_wine_clone_user_prefix "$run_uid" "$run_gid" "$template" "$WINEPREFIX" || { clean_up; exit 3; }
else
  lz_wine_clone_prefix "$template" "$WINEPREFIX" || { clean_up; exit 3; }
fi

# The X screen holds the whole virtual desktop.
screen=1280x1024x24
[[ -z ${LZ_WINE_DPI:-} ]] || screen=1600x1200x24

# Inside the X session: mark that the program is started, run it, then stop this prefix's Wine
# processes (the virtual desktop among them) while their display still exists.
started=$run_dir/started
inner=': >"$LZ_WINE_STARTED"; "$WINELOADER" "$@"; rc=$?; wineserver -k 2>/dev/null; wineserver -w 2>/dev/null; exit $rc'

# Runs the program once in its own X session; the X server's and xauth's complaints go to
# $run_dir/x.log.
run_once() {
  # A random first display number keeps parallel runs from racing for the same one.
  timeout -k 10 "${LZ_WINE_TIMEOUT:-280}" "${wine_side[@]}" env LZ_WINE_STARTED="$started" \
    xvfb-run -a -n $((100 + RANDOM % 3000)) -e "$run_dir/x.log" \
    -s "-screen 0 ${LZ_WINE_SCREEN:-$screen} -nolisten tcp" \
    bash -c "$inner" wine-run "$exe" "$@" &
  runner_pid=$!
  wait "$runner_pid"
}

# A session that ends before the program was started is the machine's failure, not the
# program's: it is said so, with what the X server said, and tried again with another
# display. Once the program has started, its exit code is the answer.
attempts=3
for ((attempt = 1; ; attempt++)); do
  rm -f "$started"
  : >"$run_dir/x.log"
  [[ -z $run_uid ]] || chown "$run_uid:$run_gid" "$run_dir/x.log" 2>/dev/null
  run_once "$@"
  rc=$?
  ((rc != 0)) && [[ ! -e $started ]] || break
  echo "wine-run.sh: the X session ended with code $rc before the program started (attempt $attempt of $attempts)" >&2
  sed 's/^/  x: /' "$run_dir/x.log" >&2
  ((rc == 124 || rc == 137 || attempt == attempts)) && break
  sleep 1
done
if ((rc == 124 || rc == 137)); then
  echo "wine-run.sh: $(basename "$exe") did not finish within ${LZ_WINE_TIMEOUT:-280} s" >&2
fi
clean_up
exit "$rc"
