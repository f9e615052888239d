#!/usr/bin/env bash
# Runs the conformance exe under Wine in a prefix and device root of its own.
#   run_wine.sh CONFORMANCE_EXE [GROUP-FILTER]
set -euo pipefail
source "$(dirname "$0")/../e2e/lib.sh"
[[ $# -ge 1 ]] || { echo "usage: run_wine.sh CONFORMANCE_EXE [FILTER]" >&2; exit 2; }
e2e_init conformance-wine
# Wine lets the Unix superuser overwrite read-only files; the cases mark
# that difference only when it applies.
if [[ "$(id -u)" == 0 ]]; then export HAILCONF_UNIX_ROOT=1; else export HAILCONF_UNIX_ROOT=0; fi
e2e_run "$@" || true
[[ $E2E_EXIT -eq 0 ]] || e2e_fail "conformance exe exited with $E2E_EXIT"
e2e_pass
