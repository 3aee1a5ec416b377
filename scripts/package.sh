#!/usr/bin/env bash
# Builds the download for Windows users: one zip that runs from any folder.
#   scripts/package.sh [-o ZIP] [BUILD_DIR]
# The zip (default dist/LZVantor-<version>-win64.zip) holds one folder, LZVantor-<version>,
# with optimizer.exe and lzvtEditor.exe (the windows preset's build, stripped), Optimal\ with
# the sample schemes and 使用说明.txt. The version is the project's (CMakeLists.txt), the one
# the programs' version information carries. BUILD_DIR defaults to build/package. Prints where
# the bytes of each program go, biggest symbols first.
set -euo pipefail
cd "$(dirname "$0")/.."

out=
if [[ ${1:-} == -o ]]; then
  out=$2
  shift 2
fi
build_dir=${1:-build/package}

version=$(sed -n 's/^project(LzVantor VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
[[ -n $version ]] || { echo "package.sh: no version in CMakeLists.txt" >&2; exit 1; }
name="LZVantor-$version"
out=${out:-dist/$name-win64.zip}

# One time for everything the package stamps (the programs' headers, the zip's entries): the
# last commit's, so that the same sources give the same bytes.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 946684800)}
export SOURCE_DATE_EPOCH

scripts/install-deps.sh >/dev/null
cmake --preset windows -B "$build_dir" >/dev/null
cmake --build "$build_dir" --target optimizer lzvtEditor -j "$(nproc)" >/dev/null

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
top="$stage/$name"
mkdir -p "$top/Optimal"
for exe in optimizer/optimizer.exe editor/lzvtEditor.exe; do
  # strip writes SOURCE_DATE_EPOCH into the header (the linker wrote none).
  x86_64-w64-mingw32-strip --strip-all -o "$top/$(basename "$exe")" "$build_dir/$exe"
done
cp samples/*.lzvt "$top/Optimal/"
# Notepad on every Windows reads UTF-8 with a byte-order mark; lines end in CR LF.
{
  printf '\xEF\xBB\xBF'
  sed -e "s/@VERSION@/$version/" -e 's/$/\r/' packaging/readme-zh.txt
} >"$top/使用说明.txt"

mkdir -p "$(dirname "$out")"
python3 scripts/make-zip.py "$top" "$out"

echo "Package: $out ($(stat -c %s "$out") bytes)"
for built in "$build_dir/optimizer/optimizer.exe" "$build_dir/editor/lzvtEditor.exe"; do
  exe=$(basename "$built")
  printf '\n%s: %d bytes as shipped (limit 327680, 320 KB)\n' "$exe" "$(stat -c %s "$top/$exe")"
  x86_64-w64-mingw32-size -A "$top/$exe" | awk 'NR > 2 && $2 > 0 && $1 != "Total" { printf "  section %-8s %7d\n", $1, $2 }'
  echo "  biggest symbols:"
  x86_64-w64-mingw32-nm --size-sort --reverse-sort -S -C "$built" | awk '$3 !~ /^[Nn]$/ && ++n <= 15' |
    while read -r _ size kind symbol; do printf '  %7d %s %s\n' "$((16#$size))" "$kind" "${symbol:0:110}"; done
done
