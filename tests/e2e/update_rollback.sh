#!/usr/bin/env bash
# A package replaces the modem application with one that ends at once (the
# stand-in with its exit-at-once marker beside it, and bytes of its own),
# removes the old fare table and brings the new one.
#
#   update_rollback.sh opted-in   the terminal holds update.rollback: the
#       watchdog restarts the modem application three times, then takes the
#       update back (old bytes, old table, the new files gone, the undo copy
#       gone) and the old application stays up.
#   update_rollback.sh cut        the same, with the power cut while the
#       rollback closes the applications: the next start finishes it.
#   update_rollback.sh opted-out  without the file: the crash loop goes on, as
#       it always did, and nothing is kept.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/supervisor_common.sh"

mode="${1:?opted-in, cut or opted-out}"
e2e_init "update_rollback_${mode//-/_}"
sv_require_exes HAILCTL_EXE
sv_install Hailnet Hailwire Hailfare Hailtrack
sv_log_realtime

hailnet="$E2E_DEV/ResidentFlash/Hailnet"
package="$E2E_DEV/SDMMC/AirUpdate"
[[ "$mode" == opted-out ]] || : >"$hailnet/update.rollback"
echo "fares of 2023" >"$hailnet/fare-2023.tbl"
cp "$hailnet/Hailwire.exe" "$E2E_DIR/Hailwire.exe.old"
mkdir -p "$package"
{ cat "$SIBLING_EXE"; printf 'version 2'; } >"$package/Hailwire.exe"
: >"$package/Hailwire.exit-at-once"
echo "fares of 2024" >"$package/fare-2024.tbl"
printf 'RM(\\ResidentFlash\\Hailnet\\fare-2023.tbl)\r\n' >"$package/patch_list.txt"

for name in Hailnet Hailwire Hailfare Hailtrack; do sv_start_sibling "$name"; done
e2e_start "$HAILWATCH_EXE"
started="$(sv_now)"

crashes() { sv_record_count Hailwire "EXIT at once"; }
undo_files() { find "$hailnet" "$E2E_DEV/SDMMC" -maxdepth 1 \( -name 'update.undo-*' -o -name 'AirUpdate.undo' \); }

if [[ "$mode" == opted-out ]]; then
  sleep 32
  [[ "$(crashes)" -ge 5 ]] || e2e_fail "the new modem application ended only $(crashes) times in 32 s"
  [[ -z "$(undo_files)" ]] || e2e_fail "a terminal without update.rollback kept an undo copy: $(undo_files)"
  [[ -z "$(sv_log_lines "[96" "[97")" ]] || e2e_fail "rollback lines in the log of a terminal that did not ask"
  cmp -s "$hailnet/Hailwire.exe" "$E2E_DIR/Hailwire.exe.old" &&
    e2e_fail "the update was taken back without update.rollback"
  e2e_pass
fi

e2e_wait_log_text "BeginProbation[963] 업데이트를 마쳤습니다. 10분 안에 한 응용프로그램이 3번 재시작되면" 40 ||
  e2e_fail "the update did not end in a probation"
if [[ "$mode" == cut ]]; then
  # The rollback is recorded before its first change, and closes the call
  # application (a second's pause) before the meter one: the power goes then.
  # (The update closed it once already.)
  e2e_wait_log_text "RollBackUpdate[965]" 60 || e2e_fail "no rollback began"
  for ((i = 0; i < 50; i++)); do
    [[ "$(sv_log_lines "KILL[711] 종료 윈도우이름[Hailnet]" | wc -l)" -ge 2 ]] && break
    sleep 0.1
  done
  wineserver -k
  sleep 1
  [[ -f "$hailnet/fare-2024.tbl" ]] || e2e_fail "the cut came too late to cut the rollback"
  e2e_start "$HAILWATCH_EXE"
  e2e_wait_log_text "ResumeRollBack[970] Hailwire 응용프로그램 때문에 시작한 되돌리기를 이어서 합니다." 30 ||
    e2e_fail "the next start did not take the rollback up"
fi
# Entries: the old fare table (the list's RM), the three windows the bulk
# move closed, then its three files in the folder search's order.
done_line="<I> RollBackUpdate[969] Hailwire 응용프로그램 때문에 업데이트를 되돌렸습니다. 항목[7]"
e2e_wait_log_text "${done_line#<I> }" 60 || e2e_fail "the update was not taken back"
[[ "$mode" == cut ]] || sv_expect_between "the rollback" "$(sv_since "$started")" 15 40

begun="<E> RollBackUpdate[965] Hailwire 응용프로그램이 업데이트 후 3번 재시작되어 업데이트를 되돌립니다."
[[ "$mode" == cut ]] &&
  begun+=$'\n'"<I> ResumeRollBack[970] Hailwire 응용프로그램 때문에 시작한 되돌리기를 이어서 합니다."
# The bulk move's three entries go back in the reverse of the search's order,
# which is the platform's: compared as a set, the old fare table last.
restored="<I> RemoveNewPath[967] 결과[1] 삭제[\\ResidentFlash\\Hailnet\\Hailwire.exit-at-once]
<I> RemoveNewPath[967] 결과[1] 삭제[\\ResidentFlash\\Hailnet\\fare-2024.tbl]
<I> RestoreFile[966] 결과[1] 복원파일[\\ResidentFlash\\Hailnet\\Hailwire.exe]"
mapfile -t got < <(sv_log_lines "RollBack" "RestoreFile" "RemoveNewPath" "RestoreFolder")
want_begun_lines="$(wc -l <<<"$begun")"
[[ "$(printf '%s\n' "${got[@]:0:$want_begun_lines}")" == "$begun" &&
   "$(printf '%s\n' "${got[@]:$want_begun_lines:3}" | sort)" == "$(sort <<<"$restored")" &&
   "${got[$((want_begun_lines + 3))]}" == "<I> RestoreFile[966] 결과[1] 복원파일[\\ResidentFlash\\Hailnet\\fare-2023.tbl]" &&
   "${got[$((want_begun_lines + 4))]}" == "$done_line" && ${#got[@]} -eq $((want_begun_lines + 5)) ]] ||
  e2e_fail "the rollback's lines differ:
$(printf '%s\n' "${got[@]}")"
# Three restarts of the crashing application before the rollback.
restarts="$(e2e_log_utf8 | sed -n '/BeginProbation\[963\]/,/RollBackUpdate\[965\]/p' | grep -c 'CheckApp\[409\]')"
[[ "$restarts" == 3 ]] || e2e_fail "expected 3 starts of the modem application before the rollback, got $restarts"

cmp -s "$hailnet/Hailwire.exe" "$E2E_DIR/Hailwire.exe.old" || e2e_fail "Hailwire.exe is not the old one"
[[ "$(cat "$hailnet/fare-2023.tbl")" == "fares of 2023" ]] || e2e_fail "the old fare table is not back"
[[ ! -e "$hailnet/fare-2024.tbl" && ! -e "$hailnet/Hailwire.exit-at-once" ]] ||
  e2e_fail "a file the update brought is still installed"
# The journal goes right after the line that says the rollback is done.
for ((i = 0; i < 50; i++)); do [[ -z "$(undo_files)" ]] && break; sleep 0.1; done
[[ -z "$(undo_files)" ]] || e2e_fail "the undo copy outlived the rollback: $(undo_files)"
[[ ! -e "$package/Hailwire.exe" && ! -e "$package/patch_list.txt" ]] || e2e_fail "the package came back to the card"

# The old modem application comes up and stays up.
for ((i = 0; i < 100; i++)); do
  [[ "$(sv_record_count Hailwire "START pid")" -ge 2 ]] && break
  sleep 0.1
done
[[ "$(sv_record_count Hailwire "START pid")" -ge 2 ]] || e2e_fail "the old modem application did not start"
ended="$(crashes)"
sleep 11
[[ "$(crashes)" == "$ended" ]] || e2e_fail "the modem application still ends at start after the rollback"
sv_quit_and_wait
e2e_pass
