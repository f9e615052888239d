# Installing what a script needs, shared by test-all.sh and run-sample.sh.
# Source it, then call `install_missing "command-or-file package" ...`:
# every entry whose command (or absolute file) is absent names the Debian
# package that brings it. Installs only when something is missing, with one
# apt-get update, and only as root; otherwise says what to install and fails.

present() {
  if [[ "$1" == /* ]]; then [[ -e "$1" ]]; else command -v "$1" >/dev/null 2>&1; fi
}

missing_packages() {
  local entry thing package
  for entry in "$@"; do
    read -r thing package <<<"$entry"
    present "$thing" || echo "$package"
  done | sort -u | tr '\n' ' '
}

install_missing() {
  local missing
  missing="$(missing_packages "$@")"
  [[ -z "${missing// /}" ]] && return 0
  echo "missing: $missing"
  if [[ "$(id -u)" != 0 ]] || ! command -v apt-get >/dev/null; then
    echo "cannot install them here (needs root and apt-get); install: $missing" >&2
    return 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update </dev/null || return 1
  # shellcheck disable=SC2086
  apt-get install -y --no-install-recommends $missing </dev/null || return 1
  missing="$(missing_packages "$@")"
  [[ -z "${missing// /}" ]] || { echo "still missing after install: $missing" >&2; return 1; }
}

# What the Win32 build and Wine need.
readonly WIN32_REQUIREMENTS=(
  "cmake cmake"
  "make make"
  "x86_64-w64-mingw32-g++ g++-mingw-w64-x86-64"
  "x86_64-w64-mingw32-windres binutils-mingw-w64-x86-64"
  "wine wine"
  "wineserver wine"
  "/usr/lib/wine/wine64 wine64"
  "iconv libc-bin"
  "localedef libc-bin"
  "flock util-linux"
  "setsid util-linux"
  "timeout coreutils"
  "/usr/share/i18n/locales/ko_KR locales"
  "/usr/share/i18n/charmaps/UTF-8.gz locales"
)

# What the host builds add.
readonly HOST_REQUIREMENTS=(
  "g++ g++"
  "/usr/include/gtest/gtest.h libgtest-dev"
  "/usr/include/benchmark/benchmark.h libbenchmark-dev"
  # hailog: its command line, its JSON, and its page checked in a browser.
  "/usr/include/CLI/CLI.hpp libcli11-dev"
  "/usr/include/nlohmann/json.hpp nlohmann-json3-dev"
  "python3 python3"
  "chromium chromium"
)

# What the fuzz targets add: clang and its libFuzzer and sanitizer runtimes.
readonly FUZZ_REQUIREMENTS=(
  "clang++-14 clang-14"
  "/usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a libclang-rt-14-dev"
)
