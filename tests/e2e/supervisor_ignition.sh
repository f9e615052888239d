#!/usr/bin/env bash
# One ignition cycle driven with hailctl: the news reaches the call, meter
# and modem applications; 25 s after the ignition went off the navigation
# application is asked to quit (and does); 8 s after it comes back on the
# navigation application is started again.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/supervisor_common.sh"

e2e_init supervisor_ignition
sv_require_exes HAILCTL_EXE
sv_install Hailnet Hailwire Hailfare Hailtrack Roadlens
sv_marker Roadlens quit-on-navi-close
sv_log_realtime
sv_start_sibling Roadlens

e2e_start "$HAILWATCH_EXE"
for name in Hailwire Hailfare Hailnet Hailtrack; do sv_wait_record "$name" "START pid" 20; done

e2e_run "$HAILCTL_EXE" acc off || e2e_fail "hailctl acc off failed ($E2E_EXIT)"
off_at="$(sv_now)"
for name in Hailnet Hailfare Hailwire; do sv_wait_record "$name" "UM_ACC_STATE 1" 5; done
sv_wait_record Roadlens "UM_NAVI_CLOSE 501" 35
sv_expect_between "the navigation quit request" "$(sv_since "$off_at")" 24 29
sv_wait_record Roadlens "EXIT" 5

e2e_run "$HAILCTL_EXE" acc on || e2e_fail "hailctl acc on failed ($E2E_EXIT)"
on_at="$(sv_now)"
for name in Hailnet Hailfare Hailwire; do sv_wait_record "$name" "UM_ACC_STATE 2" 5; done
for ((i = 0; i < 150 && $(sv_record_count Roadlens "START pid") < 2; i++)); do sleep 0.1; done
[[ "$(sv_record_count Roadlens "START pid")" == 2 ]] || e2e_fail "Roadlens was not started again"
sv_expect_between "the navigation restart" "$(sv_since "$on_at")" 7 11

# The tachograph application is not told; the navigation application is
# asked exactly once.
[[ "$(sv_record_count Hailtrack UM_ACC_STATE)" == 0 ]] || e2e_fail "Hailtrack was told the ignition state"
[[ "$(sv_record_count Roadlens UM_NAVI_CLOSE)" == 1 ]] || e2e_fail "more than one quit request"
expected="<I> WM_POWER_MODE_CHANGE ACC OFF 1000 1000
<I> RunNaviApp[481] 키전원Off로 인하여 Roadlens를 종료합니다.
<I> WM_POWER_MODE_CHANGE ACC ON 1000 0
<I> RunNaviApp[490] 키전원On으로 인하여 Roadlens를 실행합니다."
got="$(sv_log_lines "WM_POWER_MODE_CHANGE" "RunNaviApp[")"
[[ "$got" == "$expected" ]] || e2e_fail "ignition lines differ:
$got"
e2e_pass
