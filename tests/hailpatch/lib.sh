# Helpers for the hailpatch scripts: source it, then `hp_init NAME TOOL`.
# HP_WORK is a fresh work folder, removed at exit; HP_TOOL the program.

hp_init() {
  HP_NAME="$1"
  HP_TOOL="$(cd "$(dirname "$2")" && pwd)/$(basename "$2")"
  [[ -x "$HP_TOOL" ]] || { echo "FAIL: $HP_NAME: no such program: $2" >&2; exit 1; }
  HP_WORK="$(mktemp -d)"
  HP_CHECKS=0
  trap 'rm -rf "$HP_WORK"' EXIT
}

hp_fail() {
  echo "FAIL: $HP_NAME: $*" >&2
  [[ -f "$HP_WORK/out" ]] && { echo "--- stdout"; cat "$HP_WORK/out"; } >&2
  [[ -f "$HP_WORK/err" ]] && { echo "--- stderr"; cat "$HP_WORK/err"; } >&2
  exit 1
}

# hp_run ARGS...: runs the tool; stdout to $HP_WORK/out, stderr to
# $HP_WORK/err, status in HP_STATUS.
hp_run() {
  "$HP_TOOL" "$@" >"$HP_WORK/out" 2>"$HP_WORK/err"
  HP_STATUS=$?
}

hp_expect_status() {
  [[ "$HP_STATUS" == "$1" ]] || hp_fail "${2:-}: status $HP_STATUS, expected $1"
  HP_CHECKS=$((HP_CHECKS + 1))
}

# The trouble is one line naming what is wrong, and nothing crashed.
hp_expect_one_error_line() {
  local lines
  lines="$(wc -l <"$HP_WORK/err")"
  [[ "$lines" == 1 ]] || hp_fail "$1: $lines lines on stderr, expected one"
  grep -q -- "$2" "$HP_WORK/err" || hp_fail "$1: stderr does not say '$2'"
  HP_CHECKS=$((HP_CHECKS + 1))
}

hp_expect_out() {
  grep -qF -- "$1" "$HP_WORK/out" || hp_fail "stdout does not hold '$1'"
  HP_CHECKS=$((HP_CHECKS + 1))
}

# A listing of a tree with each file's checksum, to see that nothing moved.
hp_tree_sum() {
  (cd "$1" && find . -print0 | sort -z | xargs -0 -I{} sh -c 'if [ -f "{}" ]; then echo "{} $(md5sum < "{}")"; else echo "{}/"; fi')
}

hp_pass() {
  echo "PASS: $HP_NAME ($HP_CHECKS checks)"
  exit 0
}
