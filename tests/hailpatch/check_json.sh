#!/usr/bin/env bash
# check --json on every check case and on packages a keyed terminal refuses
# (check_json.py judges each report): the status in the object is the exit
# status, the verdict is the text report's, findings carry their lines and
# files. For the keyed ones the text report's verdict line is held to the
# exit status too.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
hp_init check_json "${1:?hailpatch}"
readonly here="$(cd "$(dirname "$0")" && pwd)"
cd "$HP_WORK"

# run_case DIR ARGS...: the JSON report and the exit status into DIR.
run_case() {
  local dir="$1"; shift
  (cd "$dir" && "$HP_TOOL" check --json "$@" >out.json 2>err.txt; echo $? >status)
}

for case_dir in "$here"/cases/*/; do
  name="$(basename "$case_dir")"
  mkdir -p "reports/$name/package"
  [[ -d "$case_dir/package" ]] && cp -a "$case_dir/package/." "reports/$name/package/"
  [[ -d "$case_dir/device" ]] && cp -a "$case_dir/device" "reports/$name/"
  if [[ -f "$case_dir/read-only.txt" ]]; then
    while read -r file; do chmod a-w "reports/$name/$file"; done <"$case_dir/read-only.txt"
  fi
  cp "$case_dir/expected-status" "$case_dir/expected.txt" "reports/$name/"
  args=(package); [[ -d "reports/$name/device" ]] && args+=(--device device)
  run_case "reports/$name" "${args[@]}"
done

# Packages signed, then tampered with: the text report and the JSON one.
hp_run keygen -o fleet; hp_expect_status 0 "keygen"
mkdir -p signed/Map && echo "fares" >signed/fare.tbl && echo "roads" >signed/Map/road.dat
printf 'MKDIR(\\ResidentFlash\\Hailnet\\Map)\r\nCP(Map\\road.dat)(\\ResidentFlash\\Hailnet)\r\n' >signed/patch_list.txt
hp_run sign signed --key fleet.pub; hp_expect_status 3 "sign with the public key"
hp_run sign signed --key fleet.key; hp_expect_status 0 "sign"
for tamper in changed unsigned; do
  mkdir -p "reports/keyed-$tamper" && cp -a signed "reports/keyed-$tamper/package" && cp fleet.pub "reports/keyed-$tamper/"
done
echo "fares!" >reports/keyed-changed/package/fare.tbl
rm -r reports/keyed-unsigned/package/Signature
for tamper in changed unsigned; do
  dir="reports/keyed-$tamper"
  (cd "$dir" && "$HP_TOOL" check package --key fleet.pub >expected.txt; echo $? >expected-status)
  [[ "$(cat "$dir/expected-status")" == 2 ]] || hp_fail "check --key of a $tamper package: $(cat "$dir/expected.txt")"
  run_case "$dir" package --key fleet.pub
done

python3 "$here/check_json.py" reports || hp_fail "check --json (see above)"
hp_pass
