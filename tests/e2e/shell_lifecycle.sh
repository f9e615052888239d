#!/usr/bin/env bash
# One copy per device: the start banner's bytes are in the hour's file, its
# window cannot be seen (a frameless popup, 0 by 0), a second copy exits at
# once without a trace, and WM_DESTROY from another process ends the first
# with the end banner and exit code 0.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/shell_common.sh"

e2e_init shell_lifecycle
sh_require_exes
sh_markers LogMsg LogMsgRT
hour="$(date +%Y%m%d%H)"

e2e_start "$HAILWATCH_EXE"
e2e_wait_log_text "Hailwatch Start" 20 || e2e_fail "no start banner"
sh_expect_hour_file "$hour"
sh_expect_banner start 1

# Shown, disabled, no caption or frame, no taskbar button, 0 by 0 at 0,0.
main_window="$(sh_ctl windows | grep -F 'class "HAILWATCH"')" || e2e_fail "no HAILWATCH window"
grep -qF 'style 0x9C000000  exstyle 0x00000080  at 0,0  size 0x0' <<<"$main_window" ||
  e2e_fail "the main window can be seen: $main_window"

started=$SECONDS
e2e_run "$HAILWATCH_EXE" || true
[[ "$E2E_EXIT" == 0 ]] || e2e_fail "the second copy exited with $E2E_EXIT"
(( SECONDS - started < 15 )) || e2e_fail "the second copy took $((SECONDS - started))s to exit"
[[ "$(sh_log_count_text "Hailwatch Start")" == 1 ]] || e2e_fail "the second copy wrote a banner"
[[ "$(sh_ctl windows | grep -cF 'class "HAILWATCH"')" == 1 ]] ||
  e2e_fail "not exactly one HAILWATCH window"

sh_ctl quit || e2e_fail "hailctl quit failed with $E2E_EXIT"
e2e_wait_exit 20 1 || e2e_fail "Hailwatch did not end after WM_DESTROY"
[[ "$E2E_EXIT" == 0 ]] || e2e_fail "Hailwatch exited with $E2E_EXIT"
sh_expect_banner end last

# Nothing left to steer: hailctl says so and fails.
if sh_ctl quit 2>"$E2E_DIR/ctl.err"; then e2e_fail "hailctl quit succeeded with Hailwatch gone"; fi
grep -qF "not running" "$E2E_DIR/ctl.err" || e2e_fail "hailctl gave no clear message"
e2e_pass
