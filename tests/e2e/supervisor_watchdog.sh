#!/usr/bin/env bash
# The first watchdog tick starts every missing sibling from the install
# folder, in the watchdog's order, and logs each.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/supervisor_common.sh"

e2e_init supervisor_watchdog
sv_require_exes
sv_install Hailnet Hailwire Hailfare Hailtrack
sv_log_realtime

e2e_start "$HAILWATCH_EXE"
started="$(sv_now)"
for name in Hailwire Hailfare Hailnet Hailtrack; do sv_wait_record "$name" "START pid" 20; done
sv_expect_between "the first watchdog tick" "$(sv_since "$started")" 4 12

expected="<I> CheckApp[409] 모뎀 응용프로그램이 없습니다. 재시작합니다.
<I> CheckApp[417] 미터기 응용프로그램이 없습니다. 재시작합니다.
<I> CheckApp[425] 콜 응용프로그램이 없습니다. 재시작합니다.
<I> CheckApp[434] DTG 응용프로그램이 없습니다. 재시작합니다."
got="$(sv_log_lines "CheckApp[")"
[[ "$got" == "$expected" ]] || e2e_fail "watchdog lines differ:
$got"

# Running siblings are left alone: two more ticks start nothing.
sleep 10
for name in Hailwire Hailfare Hailnet Hailtrack; do
  [[ "$(sv_record_count "$name" "START pid")" == 1 ]] || e2e_fail "$name was started more than once"
done
[[ "$(sv_log_lines "CheckApp[" | wc -l)" == 4 ]] || e2e_fail "the watchdog logged again"
e2e_pass
