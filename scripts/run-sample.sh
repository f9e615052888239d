#!/usr/bin/env bash
# Runs hailwatch.exe under Wine on a copy of the sample device and shows its
# log, decoded from code page 949, as it grows.
#
#   scripts/run-sample.sh [SECONDS]
#
# Builds the win32 preset (installing missing tools first when run as root
# on Debian; on a machine whose kernel cannot execute 32-bit programs, the
# win64 preset: scripts/lib/wine-arch.sh), copies sample/device to build/sample/device (the repository's
# copy stays as it is), adds the sibling stand-ins when they are built, and
# starts Hailwatch. After SECONDS (default 30) or on Ctrl-C it asks Hailwatch
# to quit with `hailctl quit`, waits for it to end, and shows the rest of the
# log, the end banner last.
set -euo pipefail

cd "$(dirname "$0")/.."
readonly repo="$PWD"
readonly seconds="${1:-30}"
# shellcheck source=lib/wine-arch.sh
source scripts/lib/wine-arch.sh
# Chosen once the tools are installed: the probe needs 32-bit Wine.
preset=""
build_dir=""
readonly work="$repo/build/sample"
readonly device="$work/device"
readonly prefix="$work/prefix"
readonly pidfile="$work/hailwatch.pid"

[[ "$seconds" =~ ^[0-9]+$ ]] || { echo "usage: $0 [SECONDS]" >&2; exit 2; }

# ---- setting up ------------------------------------------------------------

# shellcheck source=lib/install.sh
source scripts/lib/install.sh

build() {
  echo "== building the $preset preset"
  cmake --preset "$preset" -B "$build_dir" >/dev/null
  cmake --build "$build_dir" -j2 --target hailwatch hailctl
  # The stand-in comes with the watchdog's tests; run without it until then.
  local targets; targets="$(cmake --build "$build_dir" --target help 2>/dev/null || true)"
  if grep -qw hailsibling <<<"$targets"; then
    cmake --build "$build_dir" -j2 --target hailsibling
  fi
}

# A fresh copy of the sample, with the folders git cannot keep.
make_device() {
  stop_wine
  rm -rf "$device"
  mkdir -p "$work"
  cp -a "$repo/sample/device" "$device"
  mkdir -p "$device/ResidentFlash/Hailnet" "$device/ResidentFlash/Log" "$device/SDMMC"
  local sibling="$build_dir/tests/sibling/hailsibling.exe" name
  if [[ -f "$sibling" ]]; then
    for name in Hailnet Hailwire Hailfare Hailtrack; do
      cp "$sibling" "$device/ResidentFlash/Hailnet/$name.exe"
    done
    mkdir -p "$device/SDMMC/Roadlens"
    cp "$sibling" "$device/SDMMC/Roadlens/Roadlens.exe"
    # The navigation application quits when asked, as the real one does.
    touch "$device/SDMMC/Roadlens/Roadlens.quit-on-navi-close"
    echo "== sibling stand-ins installed"
  else
    echo "== no sibling stand-in built: Hailwatch runs alone"
  fi
}

# ---- running ---------------------------------------------------------------

stop_wine() {
  [[ -d "$prefix" ]] && WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
}

ctl() {
  bash scripts/wine-run.sh --prefix "$prefix" --device "$device" -- \
    "$build_dir/tools/hailctl/hailctl.exe" "$@"
}

# In a session of its own, so Ctrl-C reaches only this script, which then
# stops Hailwatch the proper way.
start_hailwatch() {
  setsid --wait bash scripts/wine-run.sh --prefix "$prefix" --device "$device" \
    --bg "$pidfile" -- "$build_dir/hailwatch.exe" >"$work/hailwatch.out" 2>&1
}

# Nothing else starts the navigation application on the terminal (the
# watchdog does not watch it), so it is started here, as the terminal's own
# start-up would; an ignition cycle with hailctl then closes and restarts it.
start_navigation() {
  local image="$device/SDMMC/Roadlens/Roadlens.exe"
  [[ -f "$image" ]] || return 0
  setsid --wait bash scripts/wine-run.sh --prefix "$prefix" --device "$device" \
    --bg "$work/roadlens.pid" -- "$image" >"$work/roadlens.out" 2>&1
  echo "== Roadlens.exe runs (pid $(cat "$work/roadlens.pid"))"
}

declare -A shown=()

# Prints what was added to each log file since the last call, decoded.
show_new_log() {
  local file size from
  while IFS= read -r file; do
    size="$(stat -c %s "$file")"
    from="${shown[$file]:-0}"
    (( size > from )) || continue
    [[ "$from" == 0 ]] && echo "-- $(basename "$file")"
    tail -c +"$((from + 1))" "$file" | head -c "$((size - from))" | iconv -c -f CP949 -t UTF-8 | tr -d '\r'
    shown[$file]="$size"
  done < <(find "$device/ResidentFlash/Log" -maxdepth 1 -type f -name '*.log' | sort)
}

stop_requested=0
on_interrupt() { stop_requested=1; }

main() {
  install_missing "${WIN32_REQUIREMENTS[@]}" || exit 1
  preset="$(wine_test_arch)"
  build_dir="build/$preset"
  build
  make_device
  trap on_interrupt INT TERM
  trap stop_wine EXIT
  start_hailwatch
  start_navigation
  echo "== hailwatch.exe runs on $device (pid $(cat "$pidfile"));" \
       "stopping in ${seconds}s or on Ctrl-C"
  local began=$SECONDS
  while (( stop_requested == 0 && SECONDS - began < seconds )) && [[ ! -s "$pidfile.rc" ]]; do
    # Ctrl-C also reaches these children; under `set -e` their status
    # would end the script before it could stop Hailwatch properly.
    show_new_log || true
    sleep 0.5 || true
  done
  if [[ ! -s "$pidfile.rc" ]]; then
    echo "== hailctl quit"
    ctl quit || true
  fi
  local i=0
  while [[ ! -s "$pidfile.rc" ]] && (( i++ < 200 )); do sleep 0.1; done
  show_new_log
  if [[ -s "$pidfile.rc" ]]; then
    echo "== hailwatch.exe ended with exit code $(cat "$pidfile.rc")"
  else
    echo "== hailwatch.exe did not end within 20 s; stopping its Wine session" >&2
    exit 1
  fi
}

main "$@"
