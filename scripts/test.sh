#!/usr/bin/env bash
# Installs what is missing, builds every preset and runs all unit and end-to-end tests:
#   native    unit tests (Linux g++)
#   sanitize  the same unit tests under AddressSanitizer and UndefinedBehaviorSanitizer
#   windows   optimizer.exe and lzvtEditor.exe, the unit tests cross-built, and the E2E
#             tests, all run under Wine on a private X server
set -uo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh || exit 1

werror=OFF
[[ ${CI:-} == true ]] && werror=ON
jobs=$(nproc)
failed=()

for preset in native sanitize windows; do
  echo "==== $preset: configure and build"
  if ! cmake --preset "$preset" -DLZ_WERROR=$werror >/dev/null || ! cmake --build --preset "$preset" -j "$jobs"; then
    failed+=("$preset (build)")
    continue
  fi
  echo "==== $preset: tests"
  ctest --preset "$preset" -j "$jobs" --timeout 600 || failed+=("$preset (tests)")
done

if ((${#failed[@]})); then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "All presets built and passed."
