#!/usr/bin/env bash
# Checks wine-run.sh's answer when the X session fails before the program starts, and when the
# program itself fails:
#   wine-run-check.sh CASE
# CASE is one of:
#   retried        the first session's xauth fails: the run is tried again and the program
#                  runs, with the failure said on stderr
#   gives-up       every session's xauth fails: three tries, then a failure
#   program-code   the program exits 3: passed through, tried once
# The program is Wine's own cmd.exe; xauth is a stand-in, first on PATH, that fails a given
# number of times and then hands over to the real one.
set -u
case_name=${1:?case}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

cmd_exe=$(ls /usr/lib/*/wine/x86_64-windows/cmd.exe /usr/lib/wine/x86_64-windows/cmd.exe 2>/dev/null | head -n1)
[[ -n $cmd_exe ]] || { echo "no cmd.exe of Wine's found" >&2; exit 77; }
real_xauth=$(command -v xauth) || { echo "no xauth" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
cat >"$work/bin/xauth" <<STANDIN
#!/bin/sh
n=\$(cat "$work/calls" 2>/dev/null || echo 0)
echo \$((n + 1)) >"$work/calls"
[ "\$n" -ge "\$LZ_CHECK_XAUTH_FAILS" ] && exec "$real_xauth" "\$@"
echo "xauth: made to fail" >&2
exit 1
STANDIN
chmod +x "$work/bin/xauth"

# Runs cmd.exe /c exit CODE through wine-run.sh, with xauth failing its first FAILS calls
# (xvfb-run calls it twice a session: to add the cookie and to remove it).
run() {
  local fails=$1 code=$2
  LZ_CHECK_XAUTH_FAILS=$fails PATH="$work/bin:$PATH" \
    "$here/wine-run.sh" "$cmd_exe" /c exit "$code" 2>"$work/stderr"
}

fail() {
  echo "FAILED: $*" >&2
  sed 's/^/  stderr: /' "$work/stderr" >&2
  exit 1
}

tries() { grep -c "before the program started" "$work/stderr"; }

case $case_name in
  retried)
    run 2 0 || fail "the run failed although the second session could start"
    [[ $(tries) == 1 ]] || fail "expected one failed session to be reported"
    grep -q "x: xauth: made to fail" "$work/stderr" || fail "what xauth said is not shown"
    ;;
  gives-up)
    run 1000 0 && fail "a run whose X session never starts passed"
    [[ $(tries) == 3 ]] || fail "expected three sessions to be tried"
    ;;
  program-code)
    run 0 3
    rc=$?
    ((rc == 3)) || fail "the program's exit code 3 came back as $rc"
    [[ $(tries) == 0 ]] || fail "a program that started and failed was tried again"
    ;;
  *)
    echo "unknown case $case_name" >&2
    exit 2
    ;;
esac
echo "passed: $case_name"
