#!/usr/bin/env bash
# A call application running at start-up receives the build option about
# five seconds after the supervisor's start: 21 bytes tagged 2224. This one
# answers only after 6 s, so the supervisor gives up after 5 s, logs the
# error with the last error code, and carries on watching.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/supervisor_common.sh"

e2e_init supervisor_build_option
sv_require_exes
sv_install Hailnet
sv_marker Hailnet late-copydata
sv_log_realtime
sv_start_sibling Hailnet

e2e_start "$HAILWATCH_EXE"
e2e_wait_log_text "Hailwatch Start" 20 || e2e_fail "no start banner"
started="$(sv_now)"
sv_wait_record Hailnet "WM_COPYDATA" 15
asked="$(sv_now)"
sv_expect_between "the build option" "$(sv_since "$started")" 3.5 8
sv_wait_record Hailnet \
  "WM_COPYDATA tag=2224 bytes=21 data=31 35 20 B9 FD C0 CE 20 B9 CC C5 CD B1 E2 B5 A5 C0 CC C5 B8 20" 1
[[ "$(sv_log_lines "V2.2.56")" == "<I> V2.2.56" ]] || e2e_fail "no version line"

e2e_wait_log_text "<E> ReqBuildOption[628] 빌드 옵션 응답에 실패하였습니다.Error[1460]" 10 ||
  e2e_fail "no time-out line"
sv_expect_between "the time-out" "$(sv_since "$asked")" 4 7
sv_wait_record Hailnet "WM_COPYDATA answered" 5

# Still watching: a meter application installed now is started by a later
# tick; and the build option is never sent again.
sv_install Hailfare
sv_wait_record Hailfare "START pid" 12
[[ "$(sv_record_count Hailnet "WM_COPYDATA tag=")" == 1 ]] || e2e_fail "the build option was sent again"
e2e_pass
