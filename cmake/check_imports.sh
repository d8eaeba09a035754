#!/usr/bin/env bash
# Post-link check of a Windows executable: every function its import table names must be in the
# list of what the oldest Windows it runs on has (Windows 2000 SP4 unless told). Then, as a second
# net, a generated C file takes the address of each imported name under that Windows's header
# settings, so the headers flag what they guard as newer. Fails with the offending names.
#
#   check_imports.sh OBJDUMP CC LIST[:LIST...] EXE [FLOOR WINNT NTDDI]
set -euo pipefail
objdump=$1 cc=$2 exe=$4
IFS=: read -r -a lists <<<"$3"
floor=${5:-Windows 2000 SP4} winnt=${6:-0x0500} ntddi=${7:-0x05000400}
name=$(basename "$exe")

# "DLL FUNCTION" per import, DLL in upper case; an import by ordinal only as "DLL #n". Rows are
# "vma hint name [bound-to]"; any line outside a DLL's rows ends them.
imports=$("$objdump" -p "$exe" | awk '
  /^\tDLL Name:/ { dll = toupper($3); next }
  dll != "" && /^\t[0-9a-f]+\t/ { print dll, (NF >= 3 ? $3 : "#" $2); next }
  /^$/ || /^\tvma:/ { next }
  { dll = "" }' | sort -u)

allowed=$(sed -e 's/#.*//' -e 's/[[:space:]]*$//' "${lists[@]}" | awk 'NF >= 2 { print toupper($1), $2 }' | sort -u)
extra=$(comm -23 <(printf '%s\n' "$imports") <(printf '%s\n' "$allowed") | sed '/^$/d')
if [ -n "$extra" ]; then
  echo "$name imports what $floor lacks (or what $(basename "${lists[-1]}") does not list yet):" >&2
  printf '  %s\n' $(printf '%s\n' "$extra" | tr ' ' ':') >&2
  exit 1
fi

# Names that no public header declares (the C runtime's start-up entries) are marked "startup".
undeclared=$(sed -e 's/#.*//' "${lists[@]}" | awk '$3 == "startup" { print toupper($1), $2 }' | sort -u)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
{
  cat <<'HEAD'
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <mmsystem.h>
#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>
#include <winver.h>
#include <wininet.h>
#include <ctype.h>
#include <direct.h>
#include <io.h>
#include <locale.h>
#include <process.h>
#include <setjmp.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/utime.h>
#include <time.h>
#include <wchar.h>
#include <wctype.h>
HEAD
  echo "void *const bs_imported[] = {"
  comm -23 <(printf '%s\n' "$imports") <(printf '%s\n' "$undeclared") | awk '$2 !~ /^#/ { print "  (void *)&" $2 ","; }'
  echo "};"
} > "$work/imports.c"
if ! "$cc" -x c -std=gnu11 -fsyntax-only -Werror=implicit-function-declaration \
    -D_WIN32_WINNT="$winnt" -DWINVER="$winnt" -D__MSVCRT_VERSION__=0x0600 -DNTDDI_VERSION="$ntddi" \
    "$work/imports.c" 2> "$work/errors"; then
  echo "$name imports names the $floor headers do not declare:" >&2
  grep -A1 'error:' "$work/errors" | grep -o '&[A-Za-z0-9_]*' | tr -d '&' | sort -u | sed 's/^/  /' >&2
  grep -q 'error:' "$work/errors" || cat "$work/errors" >&2
  exit 1
fi
echo "$name: $(printf '%s\n' "$imports" | wc -l) imports, all on $floor"
