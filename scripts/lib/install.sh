# Installing what a script needs, shared by test-all.sh and run-sample.sh.
# Source it, then call `install_missing "command-or-file package" ...`:
# every entry whose command (or absolute file) is absent names the Debian
# package that brings it. Installs only when something is missing, with one
# apt-get update, and only as root; otherwise says what to install and fails.
# A package of another architecture (name:i386) has that architecture
# enabled first.

# An absolute path may hold a glob (a version in a folder name).
present() {
  if [[ "$1" == /* ]]; then compgen -G "$1" >/dev/null; else command -v "$1" >/dev/null 2>&1; fi
}

missing_packages() {
  local entry thing package
  for entry in "$@"; do
    read -r thing package <<<"$entry"
    present "$thing" || echo "$package"
  done | sort -u | tr '\n' ' '
}

# Adds each architecture named by a package (name:arch) that dpkg does not
# know yet; run before the one apt-get update, so it lists their packages.
enable_foreign_architectures() {
  local package arch
  for package in "$@"; do
    [[ "$package" == *:* ]] || continue
    arch="${package##*:}"
    [[ "$arch" == "$(dpkg --print-architecture)" ]] && continue
    dpkg --print-foreign-architectures | grep -qx "$arch" && continue
    echo "enabling the $arch architecture"
    dpkg --add-architecture "$arch" || return 1
  done
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
  enable_foreign_architectures $missing || return 1
  apt-get update </dev/null || return 1
  # shellcheck disable=SC2086
  apt-get install -y --no-install-recommends $missing </dev/null || return 1
  missing="$(missing_packages "$@")"
  [[ -z "${missing// /}" ]] || { echo "still missing after install: $missing" >&2; return 1; }
}

# What the Win32 builds and Wine need: the 32-bit build runs under 32-bit
# Wine; the 64-bit one is compiled as a check.
readonly WIN32_REQUIREMENTS=(
  "cmake cmake"
  "make make"
  "i686-w64-mingw32-g++ g++-mingw-w64-i686"
  "i686-w64-mingw32-windres binutils-mingw-w64-i686"
  "x86_64-w64-mingw32-g++ g++-mingw-w64-x86-64"
  "x86_64-w64-mingw32-windres binutils-mingw-w64-x86-64"
  "wine wine"
  "wineserver wine"
  "/usr/lib/wine/wine wine32:i386"
  "/usr/lib/wine/wine64 wine64"
  "iconv libc-bin"
  "localedef libc-bin"
  "flock util-linux"
  "setsid util-linux"
  "timeout coreutils"
  "/usr/share/i18n/locales/ko_KR locales"
  "/usr/share/i18n/charmaps/UTF-8.gz locales"
)

# What the host builds add (spdlog: the log benchmark's baseline).
readonly HOST_REQUIREMENTS=(
  "cmake cmake"
  "make make"
  "g++ g++"
  "/usr/include/gtest/gtest.h libgtest-dev"
  "/usr/include/benchmark/benchmark.h libbenchmark-dev"
  # hailog: its command line, its JSON, and its page checked in a browser.
  "/usr/include/CLI/CLI.hpp libcli11-dev"
  "/usr/include/nlohmann/json.hpp nlohmann-json3-dev"
  "python3 python3"
  "chromium chromium"
  # A Korean font, so that the page's screenshot shows the log's Hangul.
  "/usr/share/fonts/truetype/nanum/NanumGothic.ttf fonts-nanum"
  "/usr/include/spdlog/spdlog.h libspdlog-dev"
  # The host's CryptoAPI (signed packages) and hailpatch's keys: libcrypto.
  "/usr/include/openssl/evp.h libssl-dev"
)

# What the fuzz targets add: clang and its libFuzzer and sanitizer runtimes.
readonly FUZZ_REQUIREMENTS=(
  "clang++-14 clang-14"
  "/usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a libclang-rt-14-dev"
)

# What the core's ARM compile check needs: clang, the Windows headers, and
# llvm-nm to read the objects' imports.
readonly ARM_REQUIREMENTS=(
  "clang++ clang"
  "/usr/share/mingw-w64/include/windows.h mingw-w64-common"
  "llvm-nm-14 llvm-14"
)

# What the tools' packages need: cpack's .deb reads the binaries' library
# dependencies with dpkg-shlibdeps and file, and compresses the pages and the
# changelog with gzip; its test unpacks with dpkg-deb, lints the .deb with
# lintian and tells stripped programs with file.
readonly PACKAGE_REQUIREMENTS=(
  "dpkg-shlibdeps dpkg-dev"
  "dpkg-deb dpkg"
  "file file"
  "gzip gzip"
  "lintian lintian"
)
