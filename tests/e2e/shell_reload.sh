#!/usr/bin/env bash
# Logging off at start; LogMsg created while running and log control 2 from
# another process turn it on without a restart.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/shell_common.sh"

e2e_init shell_reload
sh_require_exes

e2e_start "$HAILWATCH_EXE"
sh_wait_window 20
sh_markers LogMsg LogMsgRT
sh_ctl log flush || e2e_fail "hailctl log flush failed with $E2E_EXIT"
sleep 1
[[ "$(sh_log_count)" == 0 ]] || e2e_fail "a log file appeared while logging was off"

sh_ctl log reload || e2e_fail "hailctl log reload failed with $E2E_EXIT"
sh_ctl quit || e2e_fail "hailctl quit failed with $E2E_EXIT"
e2e_wait_exit 20 1 || e2e_fail "Hailwatch did not end after WM_DESTROY"
[[ "$E2E_EXIT" == 0 ]] || e2e_fail "Hailwatch exited with $E2E_EXIT"
sh_expect_banner end last
[[ "$(sh_log_count_text "Hailwatch Start")" == 0 ]] ||
  e2e_fail "the start banner, logged while off, reached the file"

# Wrong arguments are refused before anything is sent.
if sh_ctl log rotate 2>/dev/null; then e2e_fail "hailctl accepted 'log rotate'"; fi
[[ "$E2E_EXIT" == 1 ]] || e2e_fail "hailctl log rotate exited with $E2E_EXIT, not 1"
e2e_pass
