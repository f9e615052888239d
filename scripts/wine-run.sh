#!/usr/bin/env bash
# Runs a 32-bit Win32 exe under a headless 32-bit Wine prefix, with a
# device-root folder mapped so that \ResidentFlash\... and \SDMMC\... land in
# DIR/ResidentFlash and DIR/SDMMC.
#
#   scripts/wine-run.sh [--prefix DIR] [--device DIR] [--bg PIDFILE] [--] EXE [ARGS...]
#   scripts/wine-run.sh [--prefix DIR] [--device DIR] --setup-only
#
#   --prefix DIR   Wine prefix to run in; made from the cached template when
#                  missing, and made again when it is a 64-bit prefix
#                  (default: $HAILWATCH_WINE_CACHE/default).
#   --device DIR   device root; becomes drive D: and the exe's current drive,
#                  so drive-less absolute paths resolve inside it
#                  (default: the current directory).
#   --bg PIDFILE   start EXE in the background and return at once; the exe's
#                  process id goes to PIDFILE and, once it ends, its exit code
#                  to PIDFILE.rc.
#   --setup-only   make the prefix and map the device root, run nothing.
#
# In the foreground the script returns the exe's exit code.
#
# HAILWATCH_WINE_CACHE (default: <repo>/build/wine) holds the template prefix
# and the privately compiled ko_KR.UTF-8 locale. Making the template takes a
# wineboot (several seconds); every other prefix is a hard-link copy of it and
# costs well under a second. A prefix has the architecture of the exe it
# runs: 32-bit (WINEARCH=win32) for the 32-bit build, like the terminal, whose
# board is 32-bit, so pointers, WPARAM and LPARAM are too; 64-bit for the
# 64-bit build, which is what runs on a machine whose kernel cannot execute
# 32-bit programs (scripts/lib/wine-arch.sh). With --setup-only the
# architecture is the one this machine's Wine suites use.
#
# A prefix has one wineserver; whoever owns the prefix stops it when done:
#   WINEPREFIX=DIR wineserver -k
set -euo pipefail

readonly repo_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
readonly cache="${HAILWATCH_WINE_CACHE:-$repo_root/build/wine}"
# Where a 64-bit template was kept before the prefixes were named by their
# architecture.
readonly old_template="$cache/template"
# Set by main once the architecture is known.
arch=""
template=""
readonly locale_dir="$cache/locale"
readonly device_drive="d:"

die() { echo "wine-run: $*" >&2; exit 125; }

usage() {
  sed -n '5,18p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2
  exit "${1:-125}"
}

# Wine takes its ANSI code page from LC_ALL (ko_KR -> 949); it converts file
# names with the Unix locale's character set, so the locale must really exist
# or names outside 949 are lost. Compile it once, privately.
ensure_locale() {
  [[ -f "$locale_dir/ko_KR.UTF-8/LC_CTYPE" ]] && return 0
  command -v localedef >/dev/null || die "localedef not found (package locales / libc-bin)"
  mkdir -p "$locale_dir"
  localedef -i ko_KR -f UTF-8 "$locale_dir/ko_KR.UTF-8" >/dev/null 2>&1 ||
    [[ -f "$locale_dir/ko_KR.UTF-8/LC_CTYPE" ]] ||
    die "localedef -i ko_KR -f UTF-8 failed (are /usr/share/i18n/locales present?)"
}

# The loaders, called directly: /usr/bin/wine always prefers the 32-bit one,
# which cannot run a 64-bit prefix (nor start at all on a kernel without
# 32-bit user mode).
readonly wine32_loader=/usr/lib/wine/wine
readonly wine64_loader=/usr/lib/wine/wine64
loader=""

# shellcheck source=lib/wine-arch.sh
source "$repo_root/scripts/lib/wine-arch.sh"

# Environment for every Wine process this script starts.
wine_env() {
  export WINEARCH="$arch"
  export WINELOADER="$loader"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export LOCPATH="$locale_dir"
  unset DISPLAY WAYLAND_DISPLAY
}

# LC_ALL goes only to Wine's processes: this shell started before LOCPATH was
# set and would warn that it cannot switch to the private locale.
wine_cmd() { env LC_ALL=ko_KR.UTF-8 "$@"; }

# wineboot a new prefix and switch it to the null graphics driver, so no
# window system is needed; waiting for the wineserver to exit makes sure the
# registry is on disk before anyone copies it.
boot_template() {
  local tmp="$template.new.$$"
  rm -rf "$tmp"
  WINEPREFIX="$tmp" wine_cmd "$loader" wineboot -i </dev/null >/dev/null 2>&1 || die "wineboot -i failed for $tmp"
  WINEPREFIX="$tmp" wine_cmd "$loader" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f \
    </dev/null >/dev/null 2>&1 || die "setting the null graphics driver failed"
  WINEPREFIX="$tmp" wineserver -k >/dev/null 2>&1 || true
  WINEPREFIX="$tmp" wineserver -w >/dev/null 2>&1 || true
  grep -q '"Graphics"="null"' "$tmp/user.reg" || die "null graphics driver not stored in $tmp/user.reg"
  is_arch_prefix "$tmp" || die "wineboot did not make a $arch prefix in $tmp"
  mv "$tmp" "$template"
}

# The locale and the template are made once per cache; parallel callers
# wait on the lock. A template left from before the names carried the
# architecture is removed.
ensure_cache() {
  [[ -f "$template/.update-timestamp" && -f "$locale_dir/ko_KR.UTF-8/LC_CTYPE" ]] && return 0
  mkdir -p "$cache"
  (
    flock 9
    ensure_locale
    [[ -f "$old_template/.update-timestamp" ]] && rm -rf "$old_template"
    [[ -f "$template/.update-timestamp" ]] || boot_template
  ) 9>"$cache/template.lock"
}

# Wine records a prefix's architecture at the top of its system registry.
is_arch_prefix() { grep -q "^#arch=$arch" "$1/system.reg" 2>/dev/null; }

# A prefix of its own (its own wineserver, so its own window namespace) is a
# copy of the template: drive_c hard-linked, since nothing we run writes
# there; the registry files and dot files copied, because Wine rewrites them.
clone_prefix() {
  local dest="$1" tmp="$1.new.$$"
  rm -rf "$tmp"
  mkdir -p "$tmp"
  cp -al "$template/drive_c" "$tmp/" 2>/dev/null || cp -a "$template/drive_c" "$tmp/"
  local f
  for f in "$template"/* "$template"/.[!.]*; do
    [[ -e "$f" && "$(basename "$f")" != drive_c ]] && cp -a "$f" "$tmp/"
  done
  mv -T "$tmp" "$dest" 2>/dev/null || rm -rf "$tmp"   # lost a race: the other copy is as good
}

ensure_prefix() {
  local prefix="$1"
  if [[ -f "$prefix/.update-timestamp" ]]; then
    is_arch_prefix "$prefix" && return 0
    # A prefix of the other architecture: Wine refuses it under this
    # WINEARCH, so it is made again from this architecture's template.
    WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
    rm -rf "$prefix"
  fi
  [[ -e "$prefix" && -n "$(ls -A "$prefix" 2>/dev/null)" ]] &&
    die "$prefix exists but is not a Wine prefix"
  rmdir "$prefix" 2>/dev/null || true
  mkdir -p "$(dirname "$prefix")"
  clone_prefix "$prefix"
}

# Drive D: is the device root; the exe starts with its Unix cwd there, which
# makes D: its current drive, so "\ResidentFlash\x" means DIR/ResidentFlash/x.
map_device() {
  local prefix="$1" device="$2"
  ln -sfn "$device" "$prefix/dosdevices/$device_drive"
}

main() {
  local prefix="" device="" pidfile="" setup_only=0
  while [[ $# -gt 0 ]]; do
    case "$1" in
      --prefix) [[ $# -ge 2 ]] || usage; prefix="$2"; shift 2 ;;
      --device) [[ $# -ge 2 ]] || usage; device="$2"; shift 2 ;;
      --bg)     [[ $# -ge 2 ]] || usage; pidfile="$2"; shift 2 ;;
      --setup-only) setup_only=1; shift ;;
      --help|-h) usage 0 ;;
      --) shift; break ;;
      -*) die "unknown option $1" ;;
      *) break ;;
    esac
  done
  local exe=""
  if [[ $setup_only -eq 0 ]]; then
    [[ $# -ge 1 ]] || usage
    exe="$1"; shift
    [[ -f "$exe" ]] || die "no such exe: $exe"
    exe="$(cd "$(dirname "$exe")" && pwd)/$(basename "$exe")"
  fi

  command -v wineserver >/dev/null || die "wine not found"
  if [[ -n "$exe" ]]; then
    arch="$(pe_arch "$exe")"
    [[ -n "$arch" ]] || die "not a 32-bit or 64-bit x86 Windows image: $exe"
  else
    arch="$(wine_test_arch)"
  fi
  template="$cache/template-$arch"
  if [[ "$arch" == win32 ]]; then
    loader="$wine32_loader"
    [[ -x "$loader" ]] || die "32-bit Wine not found ($loader; package wine32:i386)"
    machine_runs_32bit ||
      die "this kernel cannot execute 32-bit programs, so 32-bit Wine cannot start; run the 64-bit build"
  else
    loader="$wine64_loader"
    [[ -x "$loader" ]] || die "64-bit Wine not found ($loader; package wine64)"
  fi
  [[ -n "$prefix" ]] || prefix="$cache/default"
  [[ -n "$device" ]] || device="$PWD"
  [[ -d "$device" ]] || die "no such device root: $device"
  prefix="$(mkdir -p "$(dirname "$prefix")" && cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")"
  device="$(cd "$device" && pwd -P)"
  [[ -n "$pidfile" ]] && pidfile="$(cd "$(dirname "$pidfile")" && pwd)/$(basename "$pidfile")"

  wine_env
  ensure_cache
  ensure_prefix "$prefix"
  map_device "$prefix" "$device"
  [[ $setup_only -eq 1 ]] && return 0
  export WINEPREFIX="$prefix"
  cd "$device"

  if [[ -z "$pidfile" ]]; then
    exec env LC_ALL=ko_KR.UTF-8 "$loader" "$exe" "$@" </dev/null
  fi
  rm -f "$pidfile" "$pidfile.rc"
  (
    wine_cmd "$loader" "$exe" "$@" </dev/null &
    local pid=$!
    echo "$pid" >"$pidfile"
    local rc=0
    wait "$pid" || rc=$?
    echo "$rc" >"$pidfile.rc.tmp" && mv "$pidfile.rc.tmp" "$pidfile.rc"
  ) &
  # Return only once the process id is known, so the caller can use it.
  local i
  for ((i = 0; i < 500; i++)); do
    [[ -s "$pidfile" ]] && return 0
    sleep 0.01
  done
  die "background start did not report a process id"
}

main "$@"
