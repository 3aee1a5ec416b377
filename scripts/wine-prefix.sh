#!/usr/bin/env bash
# Wine prefixes for running the suite's programs headless under Xvfb.
#
# Use as a command:
#   scripts/wine-prefix.sh create PREFIX      make a ready prefix at PREFIX (replaces a partial one)
#   scripts/wine-prefix.sh clone SRC DST      cheap copy of a ready prefix (hard links, real *.reg files)
#   scripts/wine-prefix.sh locale [NAME]      make sure the locale NAME (default zh_CN.UTF-8) exists
#   scripts/wine-prefix.sh ensure-user UID PREFIX   as ensure, but the prefix is made by and
#                                                   belongs to uid UID (run as root or as UID)
# or source it and call the lz_wine_* functions.
#
# A ready prefix has: a headless first boot, a virtual desktop (so that hiding or closing a
# top-level window does not stall and windows get frames), Wine's marlett.ttf (caption buttons),
# no crash dialog, and no wineserver left running. A file named .lz-ready marks it complete and
# names the locale it was made under.
#
# Wine runs under the locale LZ_WINE_LANG (default zh_CN.UTF-8, a Chinese Windows); another
# one, such as en_US.UTF-8, makes it a Windows of that display language (ANSI code page 1252
# for English). A prefix belongs to the locale of its first boot: that boot records the system
# fonts with the locale's character set and size, which later runs keep, so a prefix made under
# one locale does not stand for a Windows of another and is refused there.

LZ_WINE_DEFAULT_LOCALE=zh_CN.UTF-8
LZ_WINE_LOCALE=${LZ_WINE_LANG:-$LZ_WINE_DEFAULT_LOCALE}
LZ_WINE_PREFIX_SCRIPT=$(realpath -- "${BASH_SOURCE[0]}")
# LZ_WINE_DPI (a number such as 144) makes prefixes whose screen has that DPI (LogPixels); their
# virtual desktop is larger, so that the widest window still fits at that DPI.
LZ_WINE_DPI=${LZ_WINE_DPI:-}
if [[ -n $LZ_WINE_DPI ]]; then
  LZ_WINE_DESKTOP_SIZE=${LZ_WINE_DESKTOP_SIZE:-1536x1152}
else
  LZ_WINE_DESKTOP_SIZE=${LZ_WINE_DESKTOP_SIZE:-1024x768}
fi

# The 64-bit loader directly: Debian's `wine` wrapper only adds a hint about the missing
# 32-bit loader.
lz_wine_loader() {
  if [[ -x /usr/lib/wine/wine64 ]]; then
    echo /usr/lib/wine/wine64
  else
    command -v wine64 || command -v wine
  fi
}

lz_wine_env() {
  # A shell that was running when the locale got generated warns here; Wine, started
  # afresh, gets the locale all the same.
  {
    export LANG=$LZ_WINE_LOCALE
    export LC_ALL=$LZ_WINE_LOCALE
  } 2>/dev/null
  export WINEDEBUG=${WINEDEBUG:-fixme-all,err-all}
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-winemenubuilder.exe=d}
  WINELOADER=$(lz_wine_loader)
  export WINELOADER
}

# A locale name the suite can make: language_TERRITORY.UTF-8.
lz_wine_locale_valid() {
  [[ $1 =~ ^[a-z]{2,3}_[A-Z]{2}\.UTF-8$ ]]
}

# Whether glibc has the locale $1. Wine takes the language from LANG whether or not the locale
# exists, but without it Wine's side of the file system is ASCII: a file with a Chinese name
# cannot be made.
lz_wine_locale_exists() {
  locale -a 2>/dev/null | grep -qix "${1%.UTF-8}\.utf-\?8"
}

# Makes the locale $1 (default: the one Wine runs under) unless it exists; needs root. Wine's
# own buttons read 确定/取消 only when the Chinese locale exists.
lz_wine_ensure_locale() {
  local locale=${1:-$LZ_WINE_LOCALE}
  lz_wine_locale_valid "$locale" || { echo "not a locale name of the form ll_CC.UTF-8: '$locale'" >&2; return 2; }
  lz_wine_locale_exists "$locale" && return 0
  # localedef writes the shared locale archive: one writer at a time.
  (
    flock 9
    lz_wine_locale_exists "$locale" || localedef -i "${locale%.UTF-8}" -f UTF-8 "$locale"
  ) 9>"${TMPDIR:-/tmp}/lz-localedef.lock"
}

# The locale a ready prefix at $1 was made under. A marker from before markers named it is
# empty: such prefixes were all made under the default locale.
lz_wine_prefix_locale() {
  local made
  made=$(cat "$1/.lz-ready" 2>/dev/null) || return 1
  echo "${made:-$LZ_WINE_DEFAULT_LOCALE}"
}

# The template folder's name for the locale Wine runs under and the screen's DPI: "template"
# for the default locale and DPI, "template-en_US.UTF-8", "template-dpi144" and so on for others.
lz_wine_template_name() {
  local name=template
  [[ $LZ_WINE_LOCALE == "$LZ_WINE_DEFAULT_LOCALE" ]] || name+="-$LZ_WINE_LOCALE"
  [[ -z $LZ_WINE_DPI ]] || name+="-dpi$LZ_WINE_DPI"
  echo "$name"
}

# Runs a Wine tool with WINEPREFIX=$1 and no display.
lz_wine_headless() {
  local prefix=$1
  shift
  env -u DISPLAY WINEPREFIX="$prefix" "$WINELOADER" "$@"
}

lz_wine_create_prefix() {
  local prefix=$1
  [[ -n $prefix ]] || { echo "lz_wine_create_prefix: no path given" >&2; return 2; }
  lz_wine_ensure_locale || return 1
  lz_wine_env
  rm -rf "$prefix"
  mkdir -p "$prefix" || return 1
  prefix=$(cd "$prefix" && pwd)

  lz_wine_headless "$prefix" wineboot -i >"$prefix.boot.log" 2>&1 ||
    { echo "wineboot failed, see $prefix.boot.log" >&2; return 1; }

  local reg_failed=0
  lz_wine_headless "$prefix" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null || reg_failed=1
  lz_wine_headless "$prefix" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$LZ_WINE_DESKTOP_SIZE" /f >/dev/null || reg_failed=1
  # A crashing program prints its backtrace instead of waiting for a click.
  lz_wine_headless "$prefix" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null || reg_failed=1
  if [[ -n $LZ_WINE_DPI ]]; then
    lz_wine_headless "$prefix" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$LZ_WINE_DPI" /f \
      >/dev/null || reg_failed=1
  fi
  if [[ $LZ_WINE_LOCALE != zh_* ]]; then
    lz_wine_add_chinese_font_names "$prefix" || reg_failed=1
  fi
  # A wineserver started without a display breaks later GUI runs in this prefix.
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null
  WINEPREFIX="$prefix" wineserver -w 2>/dev/null
  ((reg_failed == 0)) || { echo "setting the prefix's registry failed" >&2; return 1; }

  # Only marlett: the others shadow the CJK font in rich text.
  local fonts="$prefix/drive_c/windows/Fonts"
  mkdir -p "$fonts"
  cp /usr/share/wine/fonts/marlett.ttf "$fonts/" || return 1

  rm -f "$prefix.boot.log"
  echo "$LZ_WINE_LOCALE" >"$prefix/.lz-ready"
}

# Windows of every display language has the Chinese font 宋体 (SimSun), known by either name,
# and its standard fonts reach it for the characters they lack. Here the only CJK font is
# WenQuanYi Micro Hei (fonts-wqy-microhei). A Chinese prefix finds it through the GB2312
# character set of its system fonts; a prefix of another language, whose system fonts are
# Western, finds it only under the names Wine's font links ask for, so it gets those names.
lz_wine_add_chinese_font_names() {
  local prefix=$1 name failed=0
  for name in SimSun 宋体; do
    lz_wine_headless "$prefix" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$name" \
      /d 'WenQuanYi Micro Hei' /f >/dev/null || failed=1
  done
  return "$failed"
}

# Creates the prefix at $1 unless a complete one is there; safe to call from parallel runs.
lz_wine_ensure_prefix() {
  local prefix=$1
  if [[ ! -f $prefix/.lz-ready ]]; then
    mkdir -p "$(dirname "$prefix")" || return 1
    (
      flock 9
      [[ -f $prefix/.lz-ready ]] || lz_wine_create_prefix "$prefix"
    ) 9>"$prefix.lock" || return 1
  fi
  lz_wine_check_prefix_locale "$prefix"
}

# Refuses a ready prefix at $1 that was made under another locale than Wine runs under.
lz_wine_check_prefix_locale() {
  local made
  made=$(lz_wine_prefix_locale "$1") || return 1
  [[ $made == "$LZ_WINE_LOCALE" ]] && return 0
  echo "the Wine prefix $1 was made under $made, not $LZ_WINE_LOCALE: each locale needs a prefix of its own" >&2
  return 1
}

# Hard-link copy of a ready prefix. Wine rewrites the *.reg hives in place, so those become
# real copies; everything else stays shared and read-only in practice.
lz_wine_clone_prefix() {
  local src=$1 dst=$2
  [[ -f $src/.lz-ready ]] || { echo "lz_wine_clone_prefix: $src is not a ready prefix" >&2; return 1; }
  cp -al "$src" "$dst" || return 1
  local reg
  for reg in "$src"/*.reg; do
    rm -f "$dst/$(basename "$reg")"
    cp "$reg" "$dst/" || return 1
  done
}

# --- Prefixes of an ordinary user ------------------------------------------------------------
# Wine run as root ignores read-only files and folders; run as an ordinary user it does not.
# Wine refuses a prefix that the running user does not own, so such a user gets prefixes of
# its own, made and cloned by that user.

# Sets the array LZ_WINE_SWITCH to the words that run a command as uid $1 and gid $2:
# setpriv when this is root, nothing when this already is that uid. Returns 77 otherwise.
lz_wine_switch_to() {
  local uid=$1 gid=$2
  LZ_WINE_SWITCH=()
  if ((EUID == uid)); then
    return 0
  elif ((EUID == 0)); then
    LZ_WINE_SWITCH=(setpriv --reuid="$uid" --regid="$gid" --clear-groups --)
  else
    echo "cannot run as uid $uid: this is uid $EUID, not root" >&2
    return 77
  fi
}

# The primary gid of uid $1 (the uid itself when it has no passwd entry).
lz_wine_gid_of() {
  local entry
  entry=$(getent passwd "$1") && { echo "$entry" | cut -d: -f4; return; }
  echo "$1"
}

# Makes, once and under a lock, a ready prefix at $3 owned by uid $1 and gid $2, made by that
# user. Its parent folder must be that user's. Wine makes the profile folders (Desktop,
# Documents, ...) links to $HOME when $HOME exists; with a HOME that does not exist they
# become real folders inside the prefix, so each clone has its own.
lz_wine_ensure_user_prefix() {
  local uid=$1 gid=$2 prefix=$3
  [[ -f $prefix/.lz-ready ]] && { lz_wine_check_prefix_locale "$prefix"; return; }
  lz_wine_switch_to "$uid" "$gid" || return
  # localedef needs root; the user only checks that the locale is there.
  ((EUID != 0)) || lz_wine_ensure_locale || return 1
  local parent
  parent=$(dirname "$prefix")
  "${LZ_WINE_SWITCH[@]}" env -u XAUTHORITY -u DBUS_SESSION_BUS_ADDRESS -u XDG_RUNTIME_DIR \
    -u XDG_CONFIG_HOME -u XDG_CACHE_HOME -u XDG_DATA_HOME -u XDG_STATE_HOME \
    HOME="$parent/no-home" TMPDIR="$parent/tmp" LZ_WINE_LANG="$LZ_WINE_LOCALE" \
    bash -c 'rm -rf "$HOME" && mkdir -p "$TMPDIR" && exec bash "$0" ensure "$1"' \
    "$LZ_WINE_PREFIX_SCRIPT" "$prefix"
}

# lz_wine_clone_prefix run as uid $1 and gid $2, so that the clone's folders are that user's.
lz_wine_clone_user_prefix() {
  local uid=$1 gid=$2 src=$3 dst=$4
  lz_wine_switch_to "$uid" "$gid" || return
  "${LZ_WINE_SWITCH[@]}" bash "$LZ_WINE_PREFIX_SCRIPT" clone "$src" "$dst"
}

if [[ ${BASH_SOURCE[0]} == "$0" ]]; then
  case ${1:-} in
    create) lz_wine_create_prefix "${2:?prefix path}" ;;
    ensure) lz_wine_ensure_prefix "${2:?prefix path}" ;;
    ensure-user)
      uid=${2:?uid}
      lz_wine_ensure_user_prefix "$uid" "$(lz_wine_gid_of "$uid")" "${3:?prefix path}"
      ;;
    clone) lz_wine_clone_prefix "${2:?source prefix}" "${3:?destination}" ;;
    locale) lz_wine_ensure_locale "${2:-$LZ_WINE_DEFAULT_LOCALE}" ;;
    *)
      echo "usage: $0 create PREFIX | ensure PREFIX | ensure-user UID PREFIX | clone SRC DST | locale [NAME]" >&2
      exit 2
      ;;
  esac
fi
