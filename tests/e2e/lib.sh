# Helpers for end-to-end scenarios under Wine. Source it from a bash script:
#
#   source "$(dirname "$0")/lib.sh"
#   e2e_init acc_off                      # fresh work dir, prefix, device root
#   e2e_copy_sample                       # optional: the sample device tree
#   e2e_start "$HAILWATCH_EXE"            # in the background
#   e2e_wait_log_text "시작" 10 || e2e_fail "no start banner"
#   e2e_pass
#
# Every scenario gets its own Wine prefix, hence its own wineserver and its
# own window, mutex and message namespace. On exit the wineserver is stopped,
# which ends every process the scenario started.
#
# Environment (set by ctest through tests/e2e/CMakeLists.txt; defaults for a
# run by hand):
#   WINE_RUN              scripts/wine-run.sh
#   E2E_WORK_ROOT         where scenario work dirs go (default <repo>/build/e2e)
#   HAILWATCH_WINE_CACHE  template prefix and locale (see wine-run.sh)
#   HAILWATCH_EXE, HAILCTL_EXE, SIBLING_EXE   the built exes, when they exist
#
# After e2e_init:
#   E2E_NAME   the scenario's name
#   E2E_DIR    its work dir (kept after the run, for inspection)
#   E2E_DEV    its device root: ResidentFlash/Hailnet, ResidentFlash/Log, SDMMC
#   WINEPREFIX its Wine prefix
# After e2e_start: E2E_PID (the exe's process id) and E2E_OUT (its output).
# After e2e_run / e2e_wait_exit: E2E_EXIT (the exe's exit code).

E2E_REPO="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
: "${WINE_RUN:=$E2E_REPO/scripts/wine-run.sh}"
: "${E2E_WORK_ROOT:=$E2E_REPO/build/e2e}"
: "${E2E_RUN_TIMEOUT:=120}"
E2E_STARTS=0
E2E_NAME=""

# Seconds (fractional allowed) to a number of 0.1 s polls.
e2e_polls() { awk -v t="$1" 'BEGIN { n = int(t * 10 + 0.5); print (n < 1 ? 1 : n) }'; }

e2e_init() {
  [[ $# -eq 1 && -n "$1" ]] || { echo "e2e_init NAME" >&2; exit 2; }
  E2E_NAME="$1"
  E2E_DIR="$E2E_WORK_ROOT/$E2E_NAME"
  E2E_DEV="$E2E_DIR/device"
  export E2E_NAME E2E_DIR E2E_DEV
  export WINEPREFIX="$E2E_DIR/prefix"
  if [[ -d "$E2E_DIR/prefix" ]]; then WINEDEBUG=-all wineserver -k >/dev/null 2>&1 || true; fi
  rm -rf "$E2E_DIR"
  mkdir -p "$E2E_DEV/ResidentFlash/Hailnet" "$E2E_DEV/ResidentFlash/Log" "$E2E_DEV/SDMMC"
  trap e2e_cleanup EXIT
  bash "$WINE_RUN" --prefix "$WINEPREFIX" --device "$E2E_DEV" --setup-only ||
    e2e_fail "could not prepare the Wine prefix"
  export WINEDEBUG=-all
  echo "== $E2E_NAME: work dir $E2E_DIR"
}

# The sample device tree (sample/device/) over the fresh device root.
e2e_copy_sample() {
  local sample="$E2E_REPO/sample/device"
  [[ -d "$sample" ]] || e2e_fail "no sample device tree at $sample"
  cp -a "$sample/." "$E2E_DEV/"
}

# Starts EXE in the background under the scenario's prefix; its output goes to
# E2E_OUT. Several may run at once; each start replaces E2E_PID and E2E_OUT.
e2e_start() {
  [[ $# -ge 1 && -f "$1" ]] || e2e_fail "e2e_start: no such exe: ${1:-}"
  E2E_STARTS=$((E2E_STARTS + 1))
  local tag="$E2E_DIR/start-$E2E_STARTS"
  E2E_OUT="$tag.out"
  bash "$WINE_RUN" --prefix "$WINEPREFIX" --device "$E2E_DEV" --bg "$tag.pid" -- "$@" \
    >"$E2E_OUT" 2>&1 || e2e_fail "could not start $1 (see $E2E_OUT)"
  E2E_PID="$(cat "$tag.pid")"
  E2E_LAST_TAG="$tag"
  echo "$E2E_PID" >>"$E2E_DIR/started.pids"
  echo "-- started $(basename "$1") ${*:2} (pid $E2E_PID)"
}

# Runs EXE in the foreground and returns its exit code, also kept in E2E_EXIT.
# Under set -e call it as `e2e_run ... || true` and test E2E_EXIT.
e2e_run() {
  [[ $# -ge 1 && -f "$1" ]] || e2e_fail "e2e_run: no such exe: ${1:-}"
  E2E_EXIT=0
  timeout "$E2E_RUN_TIMEOUT" bash "$WINE_RUN" --prefix "$WINEPREFIX" --device "$E2E_DEV" -- "$@" ||
    E2E_EXIT=$?
  [[ $E2E_EXIT -eq 124 ]] && echo "-- $(basename "$1") did not end within ${E2E_RUN_TIMEOUT}s" >&2
  return "$E2E_EXIT"
}

# Waits until the last started exe (or the one whose start number is given)
# has ended; its exit code goes to E2E_EXIT. Returns 1 on time-out.
e2e_wait_exit() {
  local timeout_s="$1" tag="${E2E_LAST_TAG:-}"
  [[ $# -ge 2 ]] && tag="$E2E_DIR/start-$2"
  [[ -n "$tag" ]] || e2e_fail "e2e_wait_exit: nothing was started"
  local i n; n="$(e2e_polls "$timeout_s")"
  for ((i = 0; i < n; i++)); do
    if [[ -s "$tag.pid.rc" ]]; then
      E2E_EXIT="$(cat "$tag.pid.rc")"
      return 0
    fi
    sleep 0.1
  done
  echo "-- $(basename "$tag") still running after ${timeout_s}s" >&2
  return 1
}

# FILE decoded from code page 949 (bytes that do not decode are dropped).
e2e_utf8_of() { [[ -f "$1" ]] && iconv -c -f CP949 -t UTF-8 "$1" 2>/dev/null; return 0; }

# Waits until FILE, decoded from code page 949, contains TEXT (UTF-8).
e2e_wait_file_text() {
  local file="$1" text="$2" timeout_s="$3"
  local i n; n="$(e2e_polls "$timeout_s")"
  for ((i = 0; i < n; i++)); do
    e2e_utf8_of "$file" | grep -qF -- "$text" && return 0
    sleep 0.1
  done
  echo "-- '$text' did not appear in $file within ${timeout_s}s" >&2
  return 1
}

# The log files under ResidentFlash/Log in name (hence time) order.
e2e_log_files() {
  find "$E2E_DEV/ResidentFlash" -mindepth 2 -maxdepth 2 -type f -ipath '*/log/*' 2>/dev/null | sort
}

# Every log file concatenated, decoded to UTF-8.
e2e_log_utf8() {
  local f
  while IFS= read -r f; do e2e_utf8_of "$f"; done < <(e2e_log_files)
}

# Waits until the decoded log contains TEXT.
e2e_wait_log_text() { e2e_wait_log_count "$1" 1 "$2"; }

# How many lines of the decoded log contain TEXT.
e2e_log_count() { e2e_log_utf8 | grep -cF -- "$1" || true; }

# Waits until COUNT lines of the decoded log contain TEXT: a later start's
# line, when an earlier start wrote the same one.
e2e_wait_log_count() {
  local text="$1" count="$2" timeout_s="$3"
  local i n; n="$(e2e_polls "$timeout_s")"
  for ((i = 0; i < n; i++)); do
    (($(e2e_log_count "$text") >= count)) && return 0
    sleep 0.1
  done
  echo "-- '$text' did not appear $count times in the log within ${timeout_s}s" >&2
  return 1
}

# Shows what the scenario produced, so a failure explains itself.
e2e_dump() {
  local f
  for f in "$E2E_DIR"/start-*.out; do
    [[ -s "$f" ]] || continue
    echo "---- $(basename "$f") (last 40 lines)"
    tail -n 40 "$f"
  done
  if [[ -n "$(e2e_log_files)" ]]; then
    echo "---- log (last 60 lines, decoded)"
    e2e_log_utf8 | tail -n 60
  fi
  echo "---- device tree"
  (cd "$E2E_DEV" && find . -mindepth 1 | sort | head -n 100)
}

e2e_fail() {
  echo "FAIL: ${E2E_NAME:-e2e}: $*" >&2
  [[ -n "${E2E_DIR:-}" && -d "${E2E_DIR:-}" ]] && e2e_dump >&2
  exit 1
}

e2e_pass() {
  echo "PASS: ${E2E_NAME:-e2e}"
  exit 0
}

# Stops the scenario's wineserver (and with it every Wine process of the
# prefix), then anything started that is still alive.
e2e_cleanup() {
  local rc=$?
  if [[ -n "${WINEPREFIX:-}" && -d "${WINEPREFIX:-}" ]]; then
    wineserver -k >/dev/null 2>&1 || true
    timeout 10 wineserver -w >/dev/null 2>&1 || true
  fi
  if [[ -f "${E2E_DIR:-}/started.pids" ]]; then
    local pid
    while read -r pid; do
      kill "$pid" 2>/dev/null || true
    done <"$E2E_DIR/started.pids"
  fi
  # The prefix is cheap to make again; the device root and outputs stay.
  [[ -n "${E2E_DIR:-}" ]] && rm -rf "$E2E_DIR/prefix"
  exit "$rc"
}
