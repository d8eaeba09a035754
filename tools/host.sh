# Sourced by the tools and the test scripts: what this host can run, and Wine's loader for it.
#
# Some hosts execute only 64-bit code (their kernel has IA-32 emulation off: an i386 program
# fails with "Exec format error"). Wine's 32-bit loader cannot start there, so neither a win32
# prefix nor a 32-bit program in a win64 prefix can run; Wine's 64-bit loader runs the x86_64
# build. The answer is asked once per checkout (build/host.env); BS_HOST_64_ONLY=1 makes any
# host answer as a 64-bit-only one.

BS_ROOT=${BS_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
BS_HOST_FILE=$BS_ROOT/build/host.env
BS_WINE32_LOADER=/usr/lib/wine/wine
BS_WINE64_LOADER=/usr/lib/wine/wine64

# Exit code of a test that cannot run on this host (ctest's SKIP_RETURN_CODE).
BS_SKIP=77

# 0 when an i386 program starts here: Wine's 32-bit loader, or a minimal i386 Linux program
# (exit(0) through int 0x80). Either is enough: where the second runs and the loader does not, the
# loader is broken and the win32 tests should say so, not be skipped.
bs_probe_i386() {
  if [ -x "$BS_WINE32_LOADER" ] && "$BS_WINE32_LOADER" --version >/dev/null 2>&1; then
    return 0
  fi
  local probe rc
  probe=$(mktemp /tmp/bs-i386-probe.XXXXXX)
  printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
  chmod +x "$probe"
  "$probe" >/dev/null 2>&1 && rc=0 || rc=1
  rm -f "$probe"
  return $rc
}

# Writes build/host.env once; prints its one line when it does.
bs_host_probe() {
  [ -f "$BS_HOST_FILE" ] && return 0
  mkdir -p "$(dirname "$BS_HOST_FILE")"
  local runs=0
  bs_probe_i386 && runs=1
  echo "BS_HOST_RUNS_I386=$runs" >"$BS_HOST_FILE.tmp" && mv "$BS_HOST_FILE.tmp" "$BS_HOST_FILE"
  bs_host_summary >&2
}

# 0 when this host runs 32-bit x86 code (and BS_HOST_64_ONLY is not set).
bs_host_runs_i386() {
  [ "${BS_HOST_64_ONLY:-0}" = 1 ] && return 1
  [ -f "$BS_HOST_FILE" ] || bs_host_probe
  grep -qx 'BS_HOST_RUNS_I386=1' "$BS_HOST_FILE"
}

bs_host_summary() {
  if bs_host_runs_i386; then
    echo "host: runs 32-bit and 64-bit x86 code: Windows targets win32 and win64 both run under Wine"
  elif [ "${BS_HOST_64_ONLY:-0}" = 1 ]; then
    echo "host: treated as 64-bit only (BS_HOST_64_ONLY=1): only the win64 target runs under Wine; win32 Wine tests are skipped"
  else
    echo "host: runs only 64-bit code (i386 programs fail with 'Exec format error'): only the win64 target runs under Wine; win32 Wine tests are skipped"
  fi
}

bs_no_i386_reason() {
  if [ "${BS_HOST_64_ONLY:-0}" = 1 ]; then
    echo "BS_HOST_64_ONLY=1 treats this host as one that cannot run 32-bit x86 code"
  else
    echo "this host cannot run 32-bit x86 code (IA-32 emulation off: Wine's 32-bit loader fails with 'Exec format error')"
  fi
}

# A build tree's kind of Wine prefix (its wine-arch file; win32 without one), the suffix of its
# programs' names ("64" in the x86_64 build), and the tree this host runs under Wine.
bs_tree_arch() { cat "$1/wine-arch" 2>/dev/null || echo win32; }
bs_tree_suffix() { if [ "$(bs_tree_arch "$1")" = win64 ]; then echo 64; fi; }
bs_host_tree() { if bs_host_runs_i386; then echo win32; else echo win64; fi; }

# Wine for the prefix's kind ($WINEARCH, win32 unless set). On a host that runs 32-bit code,
# Debian's wine script, which picks the 32-bit loader and lets it hand 64-bit programs on; on one
# that does not, the 64-bit loader, named as WINELOADER for the processes it starts. A win32
# prefix there is refused with the reason and BS_SKIP.
bs_wine() {
  if bs_host_runs_i386; then
    command wine "$@"
  elif [ "${WINEARCH:-win32}" = win64 ]; then
    WINELOADER=$BS_WINE64_LOADER "$BS_WINE64_LOADER" "$@"
  else
    echo "wine: no win32 prefix: $(bs_no_i386_reason)" >&2
    return $BS_SKIP
  fi
}
