#!/usr/bin/env bash
# A file renamed only in letter case, made into a package by hailpatch make
# (kept in tests/hailpatch/roundtrip/case-only-rename/package, which the
# Linux round trip proves is what make makes): the real supervisor, starting
# with OLD installed, ends with NEW's spelling and contents, byte for byte.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/supervisor_common.sh"

e2e_init update_case_rename
sv_require_exes
sv_log_realtime
readonly case_dir="$(cd "$(dirname "$0")/../hailpatch/roundtrip/case-only-rename" && pwd)"
hailnet="$E2E_DEV/ResidentFlash/Hailnet"
mkdir -p "$hailnet" "$E2E_DEV/SDMMC"
cp -a "$case_dir/old/." "$hailnet/"
cp -a "$case_dir/package" "$E2E_DEV/SDMMC/AirUpdate"

e2e_start "$HAILWATCH_EXE"
e2e_wait_log_text "CPatchList::DeleteFolder[487] 경로[\\ResidentFlash\\AdtDownload]" 40 ||
  e2e_fail "the start-up update did not finish"

# The logging markers aside, the install folder is NEW, names spelled as in it.
diff -r -x LogMsg -x LogMsgRT "$case_dir/new" "$hailnet" || e2e_fail "the install folder differs from NEW"
[[ -z "$(find "$E2E_DEV/SDMMC/AirUpdate" -type f)" ]] || e2e_fail "files left in the package"
e2e_pass
