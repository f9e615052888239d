# Shared by the package tests: make the package of a build folder into a
# scratch folder, and the inputs the unpacked tools are run on.

pkg_fail() { echo "FAIL: $*"; exit 1; }

# pkg_make GENERATOR BUILD_DIR OUT_DIR: cpack of that build, into OUT_DIR.
pkg_make() {
  local generator="$1" build_dir="$2" out="$3"
  (cd "$build_dir" && cpack -G "$generator" -B "$out" >"$out.cpack.log" 2>&1) ||
    { cat "$out.cpack.log"; pkg_fail "cpack -G $generator"; }
}

# pkg_device DIR: a device folder holding a check case's package at DIR/package
# and one hourly log file with one line.
pkg_device() {
  local dir="$1" cases
  cases="$(cd "$(dirname "${BASH_SOURCE[0]}")/../hailpatch/cases" && pwd)"
  mkdir -p "$dir/package" "$dir/ResidentFlash/Log"
  cp -a "$cases/clean-sample/package/." "$dir/package/"
  printf '00:05 [K] <I> CheckApp[434] DTG\r\n' >"$dir/ResidentFlash/Log/hailwatch-2024061109.log"
}

# pkg_expect_check STATUS OUTPUT: what `check package` must give on pkg_device.
pkg_expect_check() {
  local cases
  cases="$(cd "$(dirname "${BASH_SOURCE[0]}")/../hailpatch/cases" && pwd)"
  [[ "$1" == "$(cat "$cases/clean-sample/expected-status")" ]] || pkg_fail "check: exit $1"
  diff -u "$cases/clean-sample/expected.txt" <(printf '%s\n' "$2") || pkg_fail "check: output differs"
}

# pkg_expect_try STATUS OUTPUT: what `try --device . package` must give on
# pkg_device (no install folder there: the update makes it and applies whole),
# the log's minutes and seconds aside.
pkg_expect_try() {
  [[ "$1" == 0 ]] || pkg_fail "try: exit $1"
  diff -u "$(dirname "${BASH_SOURCE[0]}")/expected-try.txt" \
    <(printf '%s\n' "$2" | sed -E 's/^[0-9]{2}:[0-9]{2} \[K\]/MM:SS [K]/') || pkg_fail "try: output differs"
}

# pkg_expect_listing OUTPUT: what `hailog --number 434 ResidentFlash/Log` shows.
pkg_expect_listing() {
  grep -q '2024-06-11 09:00:05.*CheckApp\[434\] DTG' <<<"$1" || pkg_fail "hailog listing: $1"
}
