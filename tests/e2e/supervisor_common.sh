# Shared by the supervisor scenarios: the sibling stand-ins on the device and
# what they recorded. Source after lib.sh.
#
# A stand-in copied as NAME.exe records into NAME.record.txt beside itself;
# markers NAME.<marker> beside it steer it (see tests/sibling/hailsibling.cpp).

sv_require_exes() {
  local var
  for var in HAILWATCH_EXE SIBLING_EXE "$@"; do
    [[ -n "${!var:-}" && -f "${!var}" ]] || e2e_fail "$var is not set to a built exe"
  done
}

# Where NAME's executable lies on the device: the navigation application on
# the SD card, every other sibling in the install folder.
sv_folder() {
  if [[ "$1" == Roadlens ]]; then echo "$E2E_DEV/SDMMC/Roadlens"; else echo "$E2E_DEV/ResidentFlash/Hailnet"; fi
}

sv_install() {
  local name
  for name in "$@"; do
    mkdir -p "$(sv_folder "$name")"
    cp "$SIBLING_EXE" "$(sv_folder "$name")/$name.exe"
  done
}

sv_marker() { touch "$(sv_folder "$1")/$1.$2"; }

sv_record() { echo "$(sv_folder "$1")/$1.record.txt"; }

# Logging on, every line in the file at once.
sv_log_realtime() {
  touch "$E2E_DEV/ResidentFlash/Hailnet/LogMsg" "$E2E_DEV/ResidentFlash/Hailnet/LogMsgRT"
}

# Starts the stand-in NAME as if it had been running before the supervisor.
sv_start_sibling() {
  e2e_start "$(sv_folder "$1")/$1.exe"
  e2e_wait_file_text "$(sv_record "$1")" "START pid" 20 || e2e_fail "$1 did not start"
}

sv_wait_record() {
  local name="$1" text="$2" timeout_s="$3"
  e2e_wait_file_text "$(sv_record "$name")" "$text" "$timeout_s" ||
    e2e_fail "$name did not record '$text' within ${timeout_s}s"
}

sv_record_count() { grep -cF -- "$2" "$(sv_record "$1")" 2>/dev/null || true; }

# A kept package closes none of the applications the bulk move would.
sv_expect_none_closed() {
  local name
  for name in Hailnet Hailwire Hailfare; do
    [[ "$(sv_record_count "$name" "WM_DESTROY")" == 0 ]] || e2e_fail "$name was closed"
  done
}

# Asks the supervisor to quit and waits for its end, as at a switch-off.
sv_quit_and_wait() {
  e2e_run "$HAILCTL_EXE" quit || e2e_fail "hailctl quit failed ($E2E_EXIT)"
  e2e_wait_exit 20 || e2e_fail "Hailwatch did not end after WM_DESTROY"
}

sv_now() { date +%s.%N; }

# Seconds from START to now, to one decimal.
sv_since() { awk -v a="$1" -v b="$(sv_now)" 'BEGIN { printf "%.1f", b - a }'; }

# Fails unless LOW <= VALUE <= HIGH.
sv_expect_between() {
  local what="$1" value="$2" low="$3" high="$4"
  awk -v v="$value" -v l="$low" -v h="$high" 'BEGIN { exit !(v >= l && v <= h) }' ||
    e2e_fail "$what took ${value}s, expected ${low}..${high}s"
  echo "-- $what after ${value}s"
}

# The decoded log's lines that carry any of the TEXTs, in order, without
# their stamps.
sv_log_lines() {
  local patterns=() text
  for text in "$@"; do patterns+=(-e "$text"); done
  e2e_log_utf8 | grep -F "${patterns[@]}" | sed 's/^[0-9][0-9]:[0-9][0-9] \[K\] //' | tr -d '\r' || true
}

# Checks the start-up update's log lines against three expected blocks: the
# first 12 lines (the list and the closing of the applications) as they
# stand, the 4 lines of a two-file bulk move as CP/RM pairs in any order (the
# folder search decides it), and the lines after them as they stand. COUNT is
# how many update lines the log must hold.
sv_expect_update_lines() {
  local count="$1" before="$2" pairs="$3" after="$4"
  local got got_before got_pairs got_after
  mapfile -t got < <(sv_log_lines "CPatchList::")
  [[ ${#got[@]} -eq $count ]] || e2e_fail "expected $count update lines, got ${#got[@]}:
$(printf '%s\n' "${got[@]}")"
  got_before="$(printf '%s\n' "${got[@]:0:12}")"
  got_pairs="$(printf '%s | %s\n' "${got[12]}" "${got[13]}" "${got[14]}" "${got[15]}" | sort)"
  got_after="$(printf '%s\n' "${got[@]:16}")"
  [[ "$got_before" == "$before" ]] || e2e_fail "the list and closing lines differ:
$got_before"
  [[ "$got_pairs" == "$(sort <<<"$pairs")" ]] || e2e_fail "the bulk move lines differ:
$got_pairs"
  [[ "$got_after" == "$after" ]] || e2e_fail "the move's count or the staging lines differ:
$got_after"
}
