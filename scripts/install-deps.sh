#!/usr/bin/env bash
# Installs what building by hand needs, on Debian, as root: the same lists
# that test-all.sh and run-sample.sh install from (scripts/lib/install.sh).
#
#   bash scripts/install-deps.sh [host|win32|arm|fuzz|package|all]...   (default all)
#
# Installs only what is missing, with one apt-get update. Not root: prints
# the packages to install and exits 1.
set -euo pipefail

cd "$(dirname "$0")/.."
# shellcheck source=lib/install.sh
source scripts/lib/install.sh

requirements_of() {
  local part
  case "$1" in
    host) printf '%s\n' "${HOST_REQUIREMENTS[@]}" "${PACKAGE_REQUIREMENTS[@]}" ;;
    win32) printf '%s\n' "${WIN32_REQUIREMENTS[@]}" "${PACKAGE_REQUIREMENTS[@]}" ;;
    arm) printf '%s\n' "${ARM_REQUIREMENTS[@]}" ;;
    fuzz) printf '%s\n' "${FUZZ_REQUIREMENTS[@]}" ;;
    package) printf '%s\n' "${PACKAGE_REQUIREMENTS[@]}" ;;
    all) for part in host win32 arm fuzz; do requirements_of "$part"; done ;;
    *) echo "install-deps: unknown part '$1' (host, win32, arm, fuzz, package, all)" >&2; return 1 ;;
  esac
}

main() {
  local parts=("${@:-all}") part entries=()
  for part in "${parts[@]}"; do
    requirements_of "$part" >/dev/null || exit 2
    mapfile -t -O "${#entries[@]}" entries < <(requirements_of "$part")
  done
  install_missing "${entries[@]}"
}

main "$@"
