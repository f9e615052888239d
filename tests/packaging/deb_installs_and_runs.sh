#!/usr/bin/env bash
# The .deb of a Linux build, unpacked into a scratch root with dpkg-deb -x:
# its name carries the project's version, it declares its library
# dependencies, lintian finds no error in it, it holds both tools stripped,
# their manual pages, the copyright file and the changelog, and the tools run
# from there. Each page names every verb and option its tool's --help shows.
#
#   deb_installs_and_runs.sh BUILD_DIR VERSION
set -uo pipefail
source "$(dirname "$0")/lib.sh"
build="${1:?build folder}"; version="${2:?project version}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

pkg_make DEB "$build" "$work/out"
debs=("$work"/out/hailwatch-tools_"$version"_*.deb)
[[ ${#debs[@]} -eq 1 && -f "${debs[0]}" ]] || pkg_fail "no hailwatch-tools_${version}_ARCH.deb: $(ls "$work/out")"
depends="$(dpkg-deb -f "${debs[0]}" Depends)"
for library in libc6 libstdc++6; do
  grep -q "$library" <<<"$depends" || pkg_fail "Depends lacks $library: $depends"
done
lintian --fail-on error "${debs[0]}" >"$work/lintian.txt" 2>&1 || { cat "$work/lintian.txt"; pkg_fail "lintian finds errors"; }
root="$work/root"
dpkg-deb -x "${debs[0]}" "$root" || pkg_fail "dpkg-deb -x"
for doc in copyright changelog.gz; do
  [[ -s "$root/usr/share/doc/hailwatch-tools/$doc" ]] || pkg_fail "no /usr/share/doc/hailwatch-tools/$doc"
done

# Every verb of TOOL, and every option each verb's --help shows, in its page.
check_page_covers_help() {
  local tool="$1" page="$2" verb option
  [[ -f "$page" ]] || pkg_fail "no $page"
  local text; text="$(zcat "$page" | sed 's/\\-/-/g; s/\\e/\\/g')"
  local verbs; verbs="$("$tool" --help | sed -n '/^Subcommands:/,/^$/p' | awk 'NR > 1 && NF { print $1 }')"
  [[ -n "$verbs" ]] || pkg_fail "$tool --help lists no verb"
  for verb in $verbs; do
    grep -q "^\.SS $verb\$" <<<"$text" || pkg_fail "$page: no verb $verb"
    for option in $("$tool" "$verb" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
      grep -qF -- "$option" <<<"$text" || pkg_fail "$page: $verb's $option missing"
    done
  done
  grep -q '^\.SH EXIT STATUS' <<<"$text" && grep -q '^\.SH EXAMPLES' <<<"$text" ||
    pkg_fail "$page: no exit status or examples"
}

for tool in hailpatch hailog; do
  [[ -x "$root/usr/bin/$tool" ]] || pkg_fail "no /usr/bin/$tool"
  [[ "$("$root/usr/bin/$tool" --version)" == "$tool $version" ]] || pkg_fail "$tool --version"
  [[ "$(file -b "$root/usr/bin/$tool")" == *", stripped"* ]] || pkg_fail "$tool is not stripped"
  check_page_covers_help "$root/usr/bin/$tool" "$root/usr/share/man/man1/$tool.1.gz"
done

pkg_device "$work/device"
cd "$work/device" || exit 1
out="$("$root/usr/bin/hailpatch" check package)"
pkg_expect_check $? "$out"
out="$("$root/usr/bin/hailpatch" try --device . package)"
pkg_expect_try $? "$out"
out="$("$root/usr/bin/hailog" --number 434 ResidentFlash/Log)" || pkg_fail "hailog: exit $?"
pkg_expect_listing "$out"
echo "deb: ${debs[0]##*/} installs hailpatch, hailog (stripped) and their pages; both run from it; lintian: no error"
