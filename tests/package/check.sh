#!/usr/bin/env bash
# The package test, part of scripts/test.sh after the windows preset (whose build it uses):
#  1. scripts/package.sh builds the zip (in build/package), and prints where the bytes go;
#  2. the same sources packaged again from another build tree (build/windows) give the same
#     bytes;
#  3. tests/package/check_zip.py checks what the zip holds and how (names in GBK with their
#     UTF-8 form beside them, and listed right by Info-ZIP's unzip), and that no program is
#     over 320 KB;
#  4. unpacked with the names read as Chinese Windows reads them (GBK), it is copied into a
#     fresh Wine prefix, where package_tests starts both programs and runs a sample scheme.
set -euo pipefail
cd "$(dirname "$0")/../.."

version=$(sed -n 's/^project(LzVantor VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
work=build/package-test
rm -rf "$work"
mkdir -p "$work"

scripts/package.sh -o "$work/first.zip" build/package
scripts/package.sh -o "$work/second.zip" build/windows >/dev/null
if ! cmp -s "$work/first.zip" "$work/second.zip"; then
  echo "FAILED: the same sources packaged twice give different zips ($work/first.zip, $work/second.zip)"
  exit 1
fi
echo "Packaged twice, from two build trees: the same $(stat -c %s "$work/first.zip") bytes."

python3 tests/package/check_zip.py "$work/first.zip" samples "$version"

python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1], metadata_encoding="gbk").extractall(sys.argv[2])' \
  "$work/first.zip" "$work/unpacked"
cmake --build build/windows --target package_tests -j "$(nproc)" >/dev/null
LZ_PACKAGE_DIR=$(realpath "$work/unpacked/LZVantor-$version") LZ_E2E_ARTIFACTS=$(realpath "$work") \
  tests/e2e/wine-run.sh build/windows/tests/package/package_tests.exe
