# Shared by the shell scenarios: hailctl, the hour's log file and the exact
# bytes of the banners. Source after lib.sh.

sh_require_exes() {
  local var
  for var in HAILWATCH_EXE HAILCTL_EXE; do
    [[ -n "${!var:-}" && -f "${!var}" ]] || e2e_fail "$var is not set to a built exe"
  done
}

sh_markers() {
  local marker
  for marker in "$@"; do touch "$E2E_DEV/ResidentFlash/Hailnet/$marker"; done
}

# hailctl under the scenario's prefix; its exit code is the result.
sh_ctl() { e2e_run "$HAILCTL_EXE" "$@"; }

# Waits until Hailwatch's window exists (hailctl finds it).
sh_wait_window() {
  local i n; n="$(e2e_polls "$1")"
  for ((i = 0; i < n; i++)); do
    sh_ctl windows 2>/dev/null | grep -qF 'class "HAILWATCH"' && return 0
    sleep 0.2
  done
  e2e_fail "no window of class HAILWATCH within ${1}s"
}

# The log files there are; the scenarios stay within an hour or two.
sh_log_count() { e2e_log_files | wc -l; }

# Every log file's bytes, in time order.
sh_log_bytes() {
  local f
  while IFS= read -r f; do cat "$f"; done < <(e2e_log_files)
}

# How often TEXT (UTF-8) appears in the decoded log.
sh_log_count_text() { e2e_log_utf8 | grep -cF -- "$1" || true; }

# The banner lines as the file must hold them, with the stamp as "MM:SS",
# in code page 949 (the banners are ASCII, so the same bytes).
sh_banner() {
  local rule; rule="$(printf '#%.0s' {1..63})"
  local middle
  if [[ "$1" == start ]]; then
    middle='<I> ###################### Hailwatch Start ######################'
  else
    middle='<I> ####################### Hailwatch End #######################'
  fi
  printf 'MM:SS [K] %s\r\nMM:SS [K] %s\r\nMM:SS [K] %s\r\n' "$rule" "$middle" "$rule"
}

# Fails unless the log's lines FIRST..FIRST+2 (1-based; "last" for the last
# three) are the banner, byte for byte once each valid stamp is masked.
sh_expect_banner() {
  local which="$1" where="$2" got
  if [[ "$where" == last ]]; then
    got="$(sh_log_bytes | tail -n 3 | LC_ALL=C sed -E 's/^[0-5][0-9]:[0-5][0-9] /MM:SS /' | od -An -c)"
  else
    got="$(sh_log_bytes | sed -n "${where},$((where + 2))p" |
      LC_ALL=C sed -E 's/^[0-5][0-9]:[0-5][0-9] /MM:SS /' | od -An -c)"
  fi
  [[ "$got" == "$(sh_banner "$which" | od -An -c)" ]] ||
    e2e_fail "the $which banner's bytes differ (lines $where):
$got"
}

# The hour's file is named after the local date and hour.
sh_expect_hour_file() {
  local names; names="$(e2e_log_files | xargs -r -n1 basename)"
  [[ -n "$names" ]] || e2e_fail "no log file"
  local name
  for name in $names; do
    [[ "$name" =~ ^hailwatch-20[0-9]{2}(0[1-9]|1[0-2])[0-3][0-9]([01][0-9]|2[0-3])\.log$ ]] ||
      e2e_fail "log file name $name is not hailwatch-YYYYMMDDHH.log"
  done
  [[ "$names" == *"hailwatch-$1.log"* || "$names" == *"hailwatch-$(date +%Y%m%d%H).log"* ]] ||
    e2e_fail "no log file for hour $1 among: $names"
}
