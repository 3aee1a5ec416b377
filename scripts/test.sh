#!/usr/bin/env bash
# Installs what is missing, checks the code's format, builds every preset and runs all unit
# and end-to-end tests:
#   format    every .cpp and .h in the style of .clang-format (scripts/check-format.sh)
#   native    unit tests (Linux g++)
#   sanitize  the same unit tests under AddressSanitizer and UndefinedBehaviorSanitizer
#   windows   optimizer.exe and lzvtEditor.exe, the unit tests cross-built, and the E2E
#             tests, all run under Wine on a private X server
#   fuzz      the fuzz targets of fuzz/ (clang, libFuzzer, both sanitizers), each run 20 s
#             from its seeds (scripts/fuzz.sh)
#   package   the download (scripts/package.sh): built twice to the same bytes, checked for
#             what it holds and for the size limit, unpacked into a fresh Wine prefix and run
#             (tests/package/check.sh)
set -uo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh || exit 1

werror=OFF
[[ ${CI:-} == true ]] && werror=ON
jobs=$(nproc)
failed=()

echo "==== format"
scripts/check-format.sh || failed+=("format")

for preset in native sanitize windows; do
  echo "==== $preset: configure and build"
  if ! cmake --preset "$preset" -DLZ_WERROR=$werror >/dev/null || ! cmake --build --preset "$preset" -j "$jobs"; then
    failed+=("$preset (build)")
    continue
  fi
  echo "==== $preset: tests"
  ctest --preset "$preset" -j "$jobs" --timeout 600 || failed+=("$preset (tests)")
done

# Names the targets that failed itself.
LZ_WERROR=$werror FUZZ_JOBS=$jobs scripts/fuzz.sh || failed+=("fuzz")

echo "==== package: build, check and run the zip"
if [[ " ${failed[*]} " == *"windows (build)"* ]]; then
  failed+=("package (not run: the windows build failed)")
else
  tests/package/check.sh || failed+=("package")
fi

if ((${#failed[@]})); then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "All presets built and passed, and so did the package."
