#!/usr/bin/env bash
# Installs what building and testing the suite needs on Debian 12, and nothing that is
# already there. Run as root (or with sudo available).
set -euo pipefail

packages=(
  cmake ninja-build g++ python3 clang-format
  clang libclang-rt-14-dev
  libgtest-dev googletest libbenchmark-dev
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64 fonts-wine
  xvfb xauth imagemagick fonts-wqy-microhei locales unzip
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Wine shows its own buttons in Chinese only when the locale exists; a few E2E cases run again
# under English.
for locale in zh_CN.UTF-8 en_US.UTF-8; do
  locale -a 2>/dev/null | grep -qix "${locale%.UTF-8}\.utf-\?8" || $sudo "$(dirname "$0")/wine-prefix.sh" locale "$locale"
done
