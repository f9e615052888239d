#!/usr/bin/env bash
# Plays every case folder through `hailpatch check` and compares what it
# printed and its exit status with the case's expected files.
#
#   check_cases.sh host HAILPATCH        the Linux build
#   check_cases.sh wine HAILPATCH_EXE    the Win32 build under Wine (WINE_RUN
#                                        and HAILWATCH_WINE_CACHE as ctest sets
#                                        them for the end-to-end scenarios)
#
# A case is cases/NAME/: package/ (the package; missing means an empty one),
# device/ when the check runs on a copy of that terminal rather than a stock
# one, read-only.txt naming files (relative to the case) to make read-only,
# expected.txt (standard output) and expected-status. Both builds run
# the terminal's code on the same model, so the Windows build must print the
# same bytes and give the same status. HAILWATCH_GOLDEN_UPDATE=1 rewrites them
# from the run (host only), for review with git diff.
set -uo pipefail

readonly mode="${1:?host or wine}"
tool="${2:?the hailpatch program}"
readonly cases="$(cd "$(dirname "$0")" && pwd)/cases"
[[ -f "$tool" ]] || { echo "no such program: $tool" >&2; exit 2; }
tool="$(cd "$(dirname "$tool")" && pwd)/$(basename "$tool")"
work="$(mktemp -d)"
prefix="$work/prefix"
cleanup() {
  [[ "$mode" == wine && -d "$prefix" ]] && WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

if [[ "$mode" == wine ]]; then
  bash "${WINE_RUN:?}" --prefix "$prefix" --device "$work" --setup-only || exit 1
fi

# Runs the check from the case's work copy, so no path of this machine shows.
run_check() {
  local dir="$1"
  local args=(check package)
  [[ -d "$dir/device" ]] && args+=(--device device)
  if [[ "$mode" == wine ]]; then
    bash "$WINE_RUN" --prefix "$prefix" --device "$dir" -- "$tool" "${args[@]}" | tr -d '\r'
    return "${PIPESTATUS[0]}"
  fi
  (cd "$dir" && "$tool" "${args[@]}")
}

passed=0
failed=0
for case_dir in "$cases"/*/; do
  name="$(basename "$case_dir")"
  dir="$work/$name"
  mkdir -p "$dir/package"
  [[ -d "$case_dir/package" ]] && cp -a "$case_dir/package/." "$dir/package/"
  [[ -d "$case_dir/device" ]] && cp -a "$case_dir/device" "$dir/"
  # git keeps no read-only bit: read-only.txt names the files that have it.
  if [[ -f "$case_dir/read-only.txt" ]]; then
    while read -r file; do chmod a-w "$dir/$file"; done <"$case_dir/read-only.txt"
  fi
  run_check "$dir" >"$dir/out.txt" 2>"$dir/err.txt"
  status=$?
  if [[ "${HAILWATCH_GOLDEN_UPDATE:-}" == 1 && "$mode" == host ]]; then
    cp "$dir/out.txt" "$case_dir/expected.txt"
    echo "$status" >"$case_dir/expected-status"
  fi
  expected_status="$(cat "$case_dir/expected-status" 2>/dev/null)"
  if [[ "$status" == "$expected_status" ]] && diff -u "$case_dir/expected.txt" "$dir/out.txt" >"$dir/diff.txt"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL: $name (status $status, expected ${expected_status:-none})"
    cat "$dir/diff.txt" "$dir/err.txt"
  fi
done
echo "hailpatch check cases [$mode]: $passed passed, $failed failed"
[[ $failed -eq 0 && $passed -gt 0 ]]
