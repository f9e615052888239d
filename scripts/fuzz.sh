#!/usr/bin/env bash
# Builds the libFuzzer targets (the fuzz preset: clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a bounded time, seeded from
# the golden update cases.
#
#   bash scripts/fuzz.sh [TARGET...]      targets: parse_fields patch_list write_log check_differential manifest
#
# HAILWATCH_FUZZ_SECONDS   seconds per target (default 20)
# HAILWATCH_FUZZ_DIR       build folder (default build/fuzz)
#
# Inputs that found new paths are kept in <dir>/corpus/<target> and reused by
# the next run; an input that breaks a rule or trips a sanitizer is written
# to <dir>/artifacts/ and the script fails. Each target's last line, also
# written to <dir>/summary.txt, gives its count of executions.
set -euo pipefail

cd "$(dirname "$0")/.."
readonly dir="${HAILWATCH_FUZZ_DIR:-build/fuzz}"
readonly seconds="${HAILWATCH_FUZZ_SECONDS:-20}"
readonly all_targets=(parse_fields patch_list write_log check_differential manifest)
targets=("$@")
[[ ${#targets[@]} -gt 0 ]] || targets=("${all_targets[@]}")

die() { echo "fuzz: $*" >&2; exit 1; }

for target in "${targets[@]}"; do
  [[ " ${all_targets[*]} " == *" $target "* ]] || die "no such target: $target (${all_targets[*]})"
done
[[ "$seconds" =~ ^[1-9][0-9]*$ ]] || die "HAILWATCH_FUZZ_SECONDS must be a whole number of seconds"

cmake --preset fuzz -B "$dir" >/dev/null
cmake --build "$dir" -j 2 --target "${targets[@]/#/fuzz_}"

# ---- seeds from the golden cases -------------------------------------------

# seed FOLDER NAME PREFIX-BYTES FILE: one seed, PREFIX-BYTES (printf escapes)
# then the file's bytes.
seed() {
  { printf "$3"; cat "$4"; } >"$1/$2"
}

make_seeds() {
  local seeds="$dir/seeds" list n=0 line
  rm -rf "$seeds"
  mkdir -p "$seeds/parse_fields" "$seeds/patch_list" "$seeds/write_log" "$seeds/check_differential" "$seeds/manifest"
  # Packages from the generator's vocabulary: a few fixed byte strings.
  for n in 1 2 3 4; do head -c 32 /dev/zero | tr '\0' "\\00$n" >"$seeds/check_differential/seed-$n"; done
  for list in tests/golden/cases/*/before/SDMMC/AirUpdate/patch_list.txt; do
    # A case may hold a folder of that name (it is no list).
    [[ -f "$list" ]] || continue
    n=$((n + 1))
    # The first byte chooses the pass.
    seed "$seeds/patch_list" "list-$n-first" '\000' "$list"
    seed "$seeds/patch_list" "list-$n-second" '\001' "$list"
  done
  # Each line of those lists, with 25 fields and the usual brackets.
  n=0
  find tests/golden/cases/*/before/SDMMC/AirUpdate -maxdepth 1 -type f -name patch_list.txt \
      -exec cat {} + | while IFS= read -r line; do
    n=$((n + 1))
    printf '\030%s\n' "$line" >"$seeds/parse_fields/line-$n"
  done
  # Each expected log line, in the message convention and bare.
  n=0
  cat tests/golden/cases/*/expected.log | while IFS= read -r line; do
    n=$((n + 1))
    printf '\001\073\072\007%s' "${line#*\] }" >"$seeds/write_log/line-$n"
    printf '\000\000\000\000%s\r\n' "$line" >"$seeds/write_log/bare-$n"
  done
  # Texts around the 1,023-byte bound, double-byte characters (code page 949)
  # on both sides of the cut, and a field too long for its slot.
  local pad
  for pad in 0 1 2 3; do
    { printf '\000\001\002\000'; head -c "$pad" /dev/zero | tr '\0' x
      for n in $(seq 510); do printf '\260\241'; done; printf '\r\n'; } >"$seeds/write_log/long-$pad"
    { printf '\001\001\002\000'; head -c "$pad" /dev/zero | tr '\0' x
      for n in $(seq 505); do printf '\260\241'; done; } >"$seeds/write_log/long-convention-$pad"
  done
  { printf '\030CP('; head -c 300 /dev/zero | tr '\0' a; printf ')(b)\r\n'; } >"$seeds/parse_fields/long-field"
  # A signed package's manifest, asked for one of its names in another case.
  local hash=87f2830f533533e4b1de35d00b11d95c299d24d669c0e599dd913f525f24c7f6
  printf 'HAILWATCH MANIFEST 1\n%s 18 Map\\road.dat\n%s 24 \260\241.tbl\r\n%s 268 patch_list.txt\n\000MAP\\Road.DAT' \
    "$hash" "$hash" "$hash" >"$seeds/manifest/sample"
}

# ---- runs --------------------------------------------------------------------

run_target() {
  local target="$1" log="$dir/logs/$1.log" executions
  mkdir -p "$dir/corpus/$target" "$dir/artifacts" "$dir/logs"
  echo "-- $target: ${seconds} s"
  if ! "$dir/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$dir/artifacts/$target-" \
      "$dir/corpus/$target" "$dir/seeds/$target" >"$log" 2>&1; then
    tail -n 30 "$log" >&2
    echo "$target: FAILED, see $log and $dir/artifacts/" | tee -a "$dir/summary.txt"
    return 1
  fi
  executions="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
  [[ -n "$executions" ]] || { echo "$target: no count in $log" | tee -a "$dir/summary.txt"; return 1; }
  echo "$target: $executions executions in $seconds s, no failure" | tee -a "$dir/summary.txt"
}

make_seeds
rm -f "$dir/summary.txt"
failed=0
for target in "${targets[@]}"; do
  run_target "$target" || failed=1
done
exit "$failed"
