# Which Windows build this machine can run under Wine.
#
# The terminal is 32-bit, so the 32-bit build under 32-bit Wine is the one
# that proves it. Some kernels cannot execute 32-bit programs at all (a
# paravirtualised guest without 32-bit user mode answers "Exec format
# error"); there no 32-bit Wine can start, and the same suites run on the
# 64-bit build under 64-bit Wine instead. HAILWATCH_WINE_ARCH=win32|win64
# overrides the probe.

# True when the kernel runs 32-bit x86 programs: the 32-bit Wine loader is
# one, and asking it for its version needs no prefix.
machine_runs_32bit() {
  [[ -x /usr/lib/wine/wine ]] || return 1
  /usr/lib/wine/wine --version >/dev/null 2>&1
}

# Prints win32 or win64: the architecture the Wine suites run here.
wine_test_arch() {
  case "${HAILWATCH_WINE_ARCH:-}" in
    win32|win64) echo "$HAILWATCH_WINE_ARCH"; return ;;
  esac
  if machine_runs_32bit; then echo win32; else echo win64; fi
}

# Prints win32 or win64 for a PE file from its machine field (0x14c i386,
# 0x8664 x86-64), or nothing when the file is not a PE image.
pe_arch() {
  local offset machine
  offset="$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')"
  [[ -n "$offset" ]] || return 0
  machine="$(od -An -tx2 -j$((offset + 4)) -N2 "$1" 2>/dev/null | tr -d ' ')"
  case "$machine" in
    014c) echo win32 ;;
    8664) echo win64 ;;
  esac
}
