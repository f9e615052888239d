#!/usr/bin/env bash
# Buffered logging: nothing reaches the file until another process asks for
# a flush (log control 1), and the end banner is in the file after a normal
# exit.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/shell_common.sh"

e2e_init shell_buffered
sh_require_exes
sh_markers LogMsg

e2e_start "$HAILWATCH_EXE"
sh_wait_window 20
[[ "$(sh_log_count)" == 0 ]] || e2e_fail "a log file appeared before any flush"

sh_ctl log flush || e2e_fail "hailctl log flush failed with $E2E_EXIT"
e2e_wait_log_text "Hailwatch Start" 10 || e2e_fail "log control 1 did not flush"
sh_expect_banner start 1

sh_ctl quit || e2e_fail "hailctl quit failed with $E2E_EXIT"
e2e_wait_exit 20 1 || e2e_fail "Hailwatch did not end after WM_DESTROY"
[[ "$E2E_EXIT" == 0 ]] || e2e_fail "Hailwatch exited with $E2E_EXIT"
sh_expect_banner end last
[[ "$(sh_log_count_text "Hailwatch Start")" == 1 ]] || e2e_fail "text was written twice"
e2e_pass
