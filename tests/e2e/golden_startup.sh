#!/usr/bin/env bash
# A start-up golden case (tests/golden/cases/startup-*) played on the real
# supervisor: the case's device tree becomes the device, the programs its
# windows.txt names run as sibling stand-ins, and each start of run.txt is a
# real start of the supervisor, stopped once its start-up update has ended.
# Then, against the case's expected files:
#   - the update's log lines of every start (those between the start banner
#     and the last staging folder's DeleteFolder[487] line), without their
#     time stamps, byte for byte in code page 949; the lines of a bulk move
#     are compared as CP/RM items in any order, as the folder search of the
#     file system decides it;
#   - the device tree after, as the host runner lists it (after.txt), the
#     supervisor's own log and logging markers aside; attributes with the
#     archive (0x20) and normal (0x80) bits aside, which Win32 sets on its
#     own, and a folder's read-only bit (0x01), which Wine does not keep;
#   - how many times each running program was asked to close (WM_DESTROY in
#     expected-trace.txt), as the stand-ins record it.
# A case that cannot be played on real Win32 is named, with its reason, in
# tests/golden/wine-skips.txt; it is reported as skipped (exit 77). A case
# named there with "tree:" before the reason is played and checked but for
# its device tree.
#
#   golden_startup.sh CASE
set -euo pipefail
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/supervisor_common.sh"

[[ $# -eq 1 && -n "$1" ]] || { echo "golden_startup.sh CASE" >&2; exit 2; }
case_name="$1"
case_dir="$E2E_REPO/tests/golden/cases/$case_name"
skips="$E2E_REPO/tests/golden/wine-skips.txt"
[[ -d "$case_dir" ]] || { echo "FAIL: no golden case $case_name" >&2; exit 1; }

reason="$(awk -v c="$case_name" '$1 == c { $1 = ""; sub(/^ +/, ""); print; exit }' "$skips")"
tree_reason=""
if [[ "$reason" == tree:* ]]; then
  tree_reason="${reason#tree: }"
elif [[ -n "$reason" ]]; then
  echo "SKIP: $case_name: $reason"
  exit 77
fi

# What only the host runner can play; such a case must be named in the skip
# list rather than pass here with a part of it left out.
not_here() {
  echo "FAIL: $case_name: $* - cannot be played on real Win32; name it in tests/golden/wine-skips.txt with the reason" >&2
  exit 1
}
lines_of() { if [[ -f "$1" ]]; then tr -d '\r' <"$1" | grep -v '^$' || true; fi; }
[[ -z "$(lines_of "$case_dir/faults.txt")" ]] || not_here "it injects faults (faults.txt)"
mapfile -t calls < <(lines_of "$case_dir/run.txt")
[[ ${#calls[@]} -gt 0 ]] || calls=(startup)
for call in "${calls[@]}"; do
  [[ "$call" == startup || "$call" == copy\ * ]] || not_here "run.txt calls '$call'"
done
programs=()
stays=()
while IFS= read -r line; do
  read -r behaviour title <<<"$line"
  case "$behaviour" in
    supervisor) ;; # the real supervisor's own window
    closes | stays)
      [[ "$title" =~ ^[A-Za-z0-9_-]+$ ]] || not_here "a program titled '$title'"
      programs+=("$title")
      [[ "$behaviour" == stays ]] && stays+=("$title")
      ;;
    *) not_here "windows.txt line '$line'" ;;
  esac
done < <(lines_of "$case_dir/windows.txt")

e2e_init "golden_$case_name"
sv_require_exes HAILCTL_EXE GOLDEN_DEVICE_EXE

# The device is the case's tree alone, plus what the supervisor needs to log
# every line at once: those entries (and folders made only for them) are left
# out of the trees compared.
rm -rf "${E2E_DEV:?}"/*
if [[ -d "$case_dir/before" ]]; then cp -r "$case_dir/before/." "$E2E_DEV/"; fi
own=("\\ResidentFlash\\Hailnet\\LogMsg " "\\ResidentFlash\\Hailnet\\LogMsgRT ")
for folder in ResidentFlash ResidentFlash/Hailnet ResidentFlash/Log; do
  if [[ ! -d "$E2E_DEV/$folder" ]]; then
    mkdir -p "$E2E_DEV/$folder"
    own+=("\\${folder//\//\\}\\ ")
  fi
done
sv_log_realtime
device_path() { local p="${1//\\//}"; echo "$E2E_DEV/${p#/}"; }
while IFS= read -r folder; do mkdir -p "$(device_path "$folder")"; done < <(lines_of "$case_dir/dirs.txt")
attributes=()
while IFS= read -r line; do attributes+=("${line% *}" "${line##* }"); done < <(lines_of "$case_dir/attributes.txt")
if [[ ${#attributes[@]} -gt 0 ]]; then
  e2e_run "$GOLDEN_DEVICE_EXE" attrib "${attributes[@]}" || e2e_fail "could not set the case's attributes"
fi

# The running programs: stand-ins outside the device, so the tree holds only
# the case's files.
programs_dir="$E2E_DIR/programs"
mkdir -p "$programs_dir"
for title in "${programs[@]}"; do
  cp "$SIBLING_EXE" "$programs_dir/$title.exe"
  e2e_start "$programs_dir/$title.exe"
done
for title in "${stays[@]}"; do touch "$programs_dir/$title.ignore-destroy"; done
for title in "${programs[@]}"; do
  e2e_wait_file_text "$programs_dir/$title.record.txt" "START pid" 20 || e2e_fail "$title did not start"
done

# The log files' bytes as they stand, in name (hence time) order.
raw_log() {
  local f
  while IFS= read -r f; do cat "$f"; done < <(e2e_log_files)
}
starts=0
for call in "${calls[@]}"; do
  if [[ "$call" == startup ]]; then
    starts=$((starts + 1))
    e2e_start "$HAILWATCH_EXE"
    sv=$E2E_STARTS
    ok=0
    for ((i = 0; i < 400; i++)); do
      if [[ "$(raw_log | LC_ALL=C grep -aF 'CPatchList::DeleteFolder[487] ' |
        LC_ALL=C grep -caF '[\ResidentFlash\AdtDownload]' || true)" -ge $starts ]]; then
        ok=1
        break
      fi
      sleep 0.1
    done
    [[ $ok -eq 1 ]] || e2e_fail "start $starts: the start-up update did not finish within 40s"
    e2e_run "$HAILCTL_EXE" quit || e2e_fail "hailctl quit failed ($E2E_EXIT)"
    e2e_wait_exit 20 "$sv" || e2e_fail "the supervisor did not end after start $starts"
  else
    read -r _ from to <<<"$call"
    cp "$(device_path "$from")" "$(device_path "$to")"
  fi
done

# (a) The update's lines: after each start banner, up to the last staging
# folder's line, stamps and line ends aside.
update_lines() {
  LC_ALL=C awk '
    { sub(/\r$/, ""); sub(/^[0-9][0-9]:[0-9][0-9] \[K\] /, "") }
    /####+ Hailwatch Start ####+$/ { inside = 1; next }
    inside && /^#+$/ { next }
    inside { print }
    inside && index($0, "CPatchList::DeleteFolder[487] ") && index($0, "[\\ResidentFlash\\AdtDownload]") { inside = 0 }'
}
# A bulk move's CP[858]/RM[764] lines, just before its CopyFilesFolder2Folder
# line, as items (a CP line with the lines after it) in sorted order.
bulk_sorted() {
  LC_ALL=C awk '
    function flush(sorted,   i, j, t) {
      if (sorted) {
        for (i = 2; i <= n; i++) { t = item[i]; for (j = i - 1; j >= 1 && item[j] > t; j--) item[j + 1] = item[j]; item[j + 1] = t }
      }
      for (i = 1; i <= n; i++) printf "%s", item[i]
      n = 0
    }
    index($0, "CPatchList::CP[858] ") { item[++n] = $0 "\n"; next }
    index($0, "CPatchList::RM[764] ") && n > 0 { item[n] = item[n] $0 "\n"; next }
    index($0, "CPatchList::CopyFilesFolder2Folder[562] ") { flush(1); print; next }
    { flush(0); print }
    END { flush(0) }'
}
expected_log="$E2E_DIR/expected-update.log"
got_log="$E2E_DIR/got-update.log"
iconv -f UTF-8 -t CP949 "$case_dir/expected.log" | LC_ALL=C sed 's/^[0-9][0-9]:[0-9][0-9] \[K\] //' |
  bulk_sorted >"$expected_log" || e2e_fail "expected.log does not convert to code page 949"
raw_log | update_lines | bulk_sorted >"$got_log"
failures=()
if ! cmp -s "$expected_log" "$got_log"; then
  echo "---- update lines, expected (-) and got (+), decoded"
  diff <(iconv -c -f CP949 -t UTF-8 "$expected_log") <(iconv -c -f CP949 -t UTF-8 "$got_log") || true
  failures+=("the update's log lines differ")
fi

# (b) The tree after, without the harness's own entries; attributes without
# the archive (0x20) and normal (0x80) bits, a folder's without 0x01.
tree_of() {
  printf '%s\n' "${own[@]}" >"$E2E_DIR/own-entries.txt"
  LC_ALL=C awk -v own="$E2E_DIR/own-entries.txt" '
    BEGIN { while ((getline line <own) > 0) mine[++n] = line }
    { for (i = 1; i <= n; i++) if (index($0, mine[i]) == 1) next }
    index($0, "\\ResidentFlash\\Log\\") == 1 && substr($0, 20, 1) != " " { next }
    {
      if (match($0, / 0x[0-9a-f][0-9a-f]( |$)/)) {
        v = 0; h = substr($0, RSTART + 3, 2)
        for (i = 1; i <= 2; i++) v = v * 16 + index("0123456789abcdef", substr(h, i, 1)) - 1
        v = v - (int(v / 128) % 2) * 128; v = v - (int(v / 32) % 2) * 32
        if (substr($0, RSTART - 1, 1) == "\\") v = v - v % 2
        $0 = substr($0, 1, RSTART) sprintf("0x%02x", v) substr($0, RSTART + 5)
      }
      print }'
}
e2e_run "$GOLDEN_DEVICE_EXE" tree >"$E2E_DIR/tree.txt" || e2e_fail "could not list the device"
tree_of <"$case_dir/after.txt" >"$E2E_DIR/expected-tree.txt"
tree_of <"$E2E_DIR/tree.txt" >"$E2E_DIR/got-tree.txt"
if [[ -n "$tree_reason" ]]; then
  echo "NOTE: $case_name: the device tree is not compared: $tree_reason"
elif ! cmp -s "$E2E_DIR/expected-tree.txt" "$E2E_DIR/got-tree.txt"; then
  echo "---- device tree, expected (-) and got (+)"
  diff "$E2E_DIR/expected-tree.txt" "$E2E_DIR/got-tree.txt" || true
  failures+=("the device tree differs")
fi

# (c) Which programs were asked to close, and how often.
for title in "${programs[@]}"; do
  want="$(grep -cF "post [$title] 2 " "$case_dir/expected-trace.txt" 2>/dev/null || true)"
  got="$(grep -c 'WM_DESTROY' "$programs_dir/$title.record.txt" || true)"
  [[ "${want:-0}" == "${got:-0}" ]] || failures+=("$title was asked to close ${got:-0} times, expected ${want:-0}")
done

[[ ${#failures[@]} -eq 0 ]] || e2e_fail "$(printf '%s; ' "${failures[@]}")"
e2e_pass
