#!/usr/bin/env bash
# Builds and runs every test: the host suites, the same under AddressSanitizer
# and UndefinedBehaviorSanitizer, the core's C++03 pedantic check, the 32-bit
# Win32 build with its conformance and end-to-end suites under 32-bit Wine,
# the 64-bit Win32 build (compiled only), the core compiled to ARM objects,
# and the fuzz targets for a bounded time each.
#
# On a machine whose kernel cannot execute 32-bit programs (so no 32-bit Wine
# can start: scripts/lib/wine-arch.sh), the roles of the two Win32 builds
# swap: the 32-bit one is compiled only, the 64-bit one runs the Wine suites,
# and the summary says so on a line of its own.
#
#   bash scripts/test-all.sh
#
# On a fresh Debian machine run as root it first installs what is missing
# (one apt-get update). It fails (non-zero) if a tool is missing or any step
# fails, and ends with a summary that includes the conformance counts of
# each backend.
#
# The build folders are the presets' (build/host, build/host-asan,
# build/win32, build/win64, build/fuzz) and build/arm unless
# HAILWATCH_HOST_DIR, HAILWATCH_ASAN_DIR, HAILWATCH_WIN32_DIR,
# HAILWATCH_WIN64_DIR, HAILWATCH_FUZZ_DIR or HAILWATCH_ARM_DIR name others.
set -uo pipefail

cd "$(dirname "$0")/.."
readonly host_dir="${HAILWATCH_HOST_DIR:-build/host}"
readonly asan_dir="${HAILWATCH_ASAN_DIR:-build/host-asan}"
readonly win32_dir="${HAILWATCH_WIN32_DIR:-build/win32}"
readonly fuzz_dir="${HAILWATCH_FUZZ_DIR:-build/fuzz}"
readonly win64_dir="${HAILWATCH_WIN64_DIR:-build/win64}"
readonly arm_dir="${HAILWATCH_ARM_DIR:-build/arm}"
readonly jobs=2
readonly summary_file="$(mktemp)"
trap 'rm -f "$summary_file"' EXIT
failures=0
start_all=$SECONDS

say() { printf '\n==== %s\n' "$*"; }
note() { printf '%-34s %s\n' "$1" "$2" >>"$summary_file"; }

# ---- tools -----------------------------------------------------------------

# shellcheck source=lib/install.sh
source scripts/lib/install.sh
# shellcheck source=lib/wine-arch.sh
source scripts/lib/wine-arch.sh
install_all() {
  install_missing "${WIN32_REQUIREMENTS[@]}" "${HOST_REQUIREMENTS[@]}" "${FUZZ_REQUIREMENTS[@]}" \
    "${ARM_REQUIREMENTS[@]}" "${PACKAGE_REQUIREMENTS[@]}"
}

# ---- steps -----------------------------------------------------------------

# step LABEL COMMAND...: runs it, records the outcome and the time it took.
step() {
  local label="$1"; shift
  say "$label"
  local began=$SECONDS
  if "$@"; then
    note "$label" "passed ($((SECONDS - began)) s)"
    return 0
  fi
  note "$label" "FAILED ($((SECONDS - began)) s)"
  failures=$((failures + 1))
  return 1
}

not_run() {
  note "$1" "NOT RUN: $2"
  failures=$((failures + 1))
}

configure() { cmake --preset "$1" -B "$2"; }
build() { cmake --build "$1" -j "$jobs"; }
run_ctest() { (cd "$1" && ctest -j "$jobs" --output-on-failure); }

# The C++03 pedantic compile of the core, built on its own so it shows.
cxx03_check() {
  cmake --build "$1" -j "$jobs" --target core_cxx03_check || return 1
  local objects
  objects="$(find "$1/CMakeFiles/core_cxx03_check.dir" -name '*.o' | wc -l)"
  echo "core_cxx03_check: $objects core sources compiled with -std=c++03 -pedantic"
  [[ "$objects" -gt 0 ]]
}

# The closing line the conformance exe printed in the last ctest run.
conformance_line() {
  local log="$1/Testing/Temporary/LastTest.log" backend="$2"
  grep -ao "conformance\[$backend\]: [^[:cntrl:]]*" "$log" 2>/dev/null | tail -n 1
}

ctest_counts() {
  local log="$1/Testing/Temporary/LastTest.log"
  local total passed
  total="$(grep -c '^[0-9]*/[0-9]* Testing:' "$log" 2>/dev/null)"
  passed="$(grep -c '^Test Passed\.' "$log" 2>/dev/null)"
  echo "${passed:-0} of ${total:-0} ctest tests passed"
}

# configure, build, ctest one preset; extra steps come in through $3.
run_preset() {
  local preset="$1" dir="$2" extra="${3:-}"
  if ! step "$preset: configure" configure "$preset" "$dir"; then
    not_run "$preset: build and tests" "configure failed"; return
  fi
  if [[ -n "$extra" ]]; then step "$preset: C++03 pedantic check" "$extra" "$dir"; fi
  if ! step "$preset: build" build "$dir"; then
    not_run "$preset: ctest" "build failed"; return
  fi
  step "$preset: ctest" run_ctest "$dir"
  note "  $preset tests" "$(ctest_counts "$dir")"
}

# hailog on the logs the real hailwatch.exe wrote in the Wine scenarios: each
# is read without a warning (exit 0) and shows at least one run.
hailog_reads_wine_logs() {
  local hailog="$host_dir/tools/hailog/hailog" log events status read=0
  for log in "$wine_dir"/e2e/*/device/ResidentFlash/Log; do
    compgen -G "$log/hailwatch-*.log" >/dev/null || continue
    events="$("$hailog" summary --json "$log")"
    status=$?
    [[ $status -eq 0 ]] || { echo "hailog on $log: exit $status"; return 1; }
    grep -q '"kind":"run"' <<<"$events" || { echo "hailog on $log: no run"; return 1; }
    read=$((read + 1))
  done
  echo "hailog read the logs of $read Wine scenarios"
  [[ $read -gt 0 ]]
}

# A build that is compiled but not run: the 64-bit Win32 one.
compile_only_preset() {
  local preset="$1" dir="$2"
  if ! step "$preset: configure" configure "$preset" "$dir"; then
    not_run "$preset: build" "configure failed"; return
  fi
  step "$preset: build (compile check)" build "$dir"
}

report_conformance() {
  local dir="$1" backend="$2" label="$3" line
  line="$(conformance_line "$dir" "$backend")"
  if [[ -z "$line" ]]; then
    note "$label" "NO RESULT (the conformance test did not run)"
    failures=$((failures + 1))
  else
    note "$label" "$line"
  fi
}

# The fuzz targets, each for a bounded time (scripts/fuzz.sh); the count of
# executions of each goes to the summary.
run_fuzz() {
  local summary="$fuzz_dir/summary.txt" line
  rm -f "$summary"
  step "fuzz: build and run" env HAILWATCH_FUZZ_DIR="$fuzz_dir" bash scripts/fuzz.sh
  if [[ ! -s "$summary" ]]; then
    note "  fuzz targets" "NO RESULT"
    failures=$((failures + 1))
    return
  fi
  while IFS= read -r line; do note "  fuzz ${line%%:*}" "${line#*: }"; done <"$summary"
}

# The Windows build whose suites run under Wine, and its label.
wine_dir=""
wine_label=""

run_windows_presets() {
  if [[ "$(wine_test_arch)" == win32 ]]; then
    wine_dir="$win32_dir"; wine_label="32-bit Win32 under Wine"
    run_preset win32 "$win32_dir"
    compile_only_preset win64 "$win64_dir"
    return
  fi
  wine_dir="$win64_dir"; wine_label="64-bit Win32 under 64-bit Wine"
  say "this kernel cannot execute 32-bit programs: no 32-bit Wine can start here;" \
      "the 32-bit build is compiled only and the 64-bit build runs the Wine suites"
  note "32-bit Win32 under Wine" "NOT RUN: this kernel cannot execute 32-bit programs"
  compile_only_preset win32 "$win32_dir"
  step "win32: the tools' zip (cpack, not run)" make_win32_zip
  run_preset win64 "$win64_dir"
}

# The zip engineers install is the 32-bit build's; where it cannot run, it is
# still made and its contents listed.
make_win32_zip() {
  (cd "$win32_dir" && cpack -G ZIP >/dev/null) || return 1
  local zip
  zip="$(ls "$win32_dir"/hailwatch-tools-*-win32.zip 2>/dev/null | head -n 1)"
  [[ -n "$zip" ]] || { echo "no hailwatch-tools-*-win32.zip in $win32_dir"; return 1; }
  cmake -E tar tf "$zip"
}

main() {
  if ! step "tools" install_all; then
    cat "$summary_file"
    echo "test-all: FAILED (tools missing)" >&2
    exit 1
  fi
  say "versions"
  cmake --version | head -n 1
  g++ --version | head -n 1
  i686-w64-mingw32-g++ --version | head -n 1
  x86_64-w64-mingw32-g++ --version | head -n 1
  clang++ --version | head -n 1
  WINEDEBUG=-all wine --version
  clang++-14 --version | head -n 1

  run_preset host "$host_dir" cxx03_check
  run_preset host-asan "$asan_dir"
  run_windows_presets
  step "core: ARMv7 Thumb objects (clang)" bash scripts/arm-check.sh "$arm_dir"
  run_fuzz
  step "hailog on the Wine scenarios' logs" hailog_reads_wine_logs

  report_conformance "$host_dir" host "conformance, host backend"
  report_conformance "$asan_dir" host "conformance, host backend (asan)"
  report_conformance "$wine_dir" wine "conformance, $wine_label"
  report_conformance "$wine_dir" "host on Windows" "conformance, host backend on Windows (hailpatch.exe's model), $wine_label"

  say "summary"
  cat "$summary_file"
  echo "total time: $((SECONDS - start_all)) s"
  if [[ $failures -ne 0 ]]; then
    echo "test-all: FAILED ($failures)" >&2
    exit 1
  fi
  echo "test-all: passed"
}

main "$@"
