#!/usr/bin/env bash
# bsscan under the Windows versions Wine imitates per program (AppDefaults\bsscan.exe, Version):
# Windows 2000, XP and 7. The prefix is seeded so that the rules that depend on the version show
# in the report: the SecurityProviders rows (what a clean system of that kind holds), the Safe
# Mode boot key (dmio.sys before Vista, vga.sys after) and the Local Settings folder that the
# recent-files and suspicious-folder listings walk only before Vista. Everything set here is put
# back on exit.
source "$(dirname "$0")/lib.sh" "$1" "$2"

reg_() { "$WINE_RUN" reg "$@" </dev/null >/dev/null 2>&1; }
# saved KEY NAME: "TYPE|DATA" of the value, or the marker when it is missing
saved() {
  { "$WINE_RUN" reg query "$1" /v "$2" </dev/null 2>/dev/null || true; } | tr -d '\r' \
    | N="    $2    " awk 'index($0, ENVIRON["N"]) == 1 && !found {
        rest = substr($0, length(ENVIRON["N"]) + 1); type = rest; sub(/    .*$/, "", type)
        sub(/^[A-Z_]+    /, "", rest); print type "|" rest; found = 1 }
        END { if (!found) print "<missing>" }'
}
# put_back KEY NAME SAVED
put_back() {
  if [ "$3" = "<missing>" ]; then
    reg_ delete "$1" /v "$2" /f || true
  else
    reg_ add "$1" /v "$2" /t "${3%%|*}" /d "${3#*|}" /f || true
  fi
}

app_key="HKCU\\Software\\Wine\\AppDefaults\\$BSSCAN"
providers_key='HKLM\SYSTEM\CurrentControlSet\Control\SecurityProviders'
safeboot_key='HKLM\SYSTEM\CurrentControlSet\Control\SafeBoot\Minimal\dmio.sys'
folders_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders'

saved_version=$(saved "$app_key" Version)
saved_providers=$(saved "$providers_key" SecurityProviders)
saved_local=$(saved "$folders_key" "Local Settings")
had_safeboot=0
reg_ query "$safeboot_key" && had_safeboot=1
restore() {
  put_back "$app_key" Version "$saved_version"
  [ "$saved_version" != "<missing>" ] || reg_ delete "$app_key" /f || true
  put_back "$providers_key" SecurityProviders "$saved_providers"
  put_back "$folders_key" "Local Settings" "$saved_local"
  [ "$had_safeboot" = 1 ] || reg_ delete "$safeboot_key" /f || true
  cleanup_install
}
trap restore EXIT

# What a Vista or 7 system holds: reported by the older versions' rule only.
reg_ add "$providers_key" /v SecurityProviders /d credssp.dll /f || fail "seed SecurityProviders"
# The older versions' Safe Mode key: only Vista and 7 look for another one.
[ "$had_safeboot" = 1 ] || reg_ add "$safeboot_key" /ve /d Driver /f || fail "seed the SafeBoot key"
# A Local Settings folder with an executable of today.
mkdir -p "$INSTALL_DIR/Local Settings"
cp "$INSTALL_DIR/$BSSCAN" "$INSTALL_DIR/Local Settings/bs-version-probe.exe"
reg_ add "$folders_key" /v "Local Settings" /d "$INSTALL_WIN\\Local Settings" /f || fail "seed Local Settings"
# The recent-files listing on (30 days).
mkdir -p "$INSTALL_DIR/Data"
printf '[Options]\r\n4=0\r\n5=0\r\n3=0\r\n9=0\r\n10=0\r\n11=0\r\n25=English\r\n12=-1\r\n13=0\r\n14=0\r\n15=0\r\n16=-1\r\n17=0\r\n18=-1\r\n27=0\r\n28=0\r\n29=0\r\n30=0\r\n31=0\r\n32=-1\r\n33=0\r\n34=0\r\n35=-1\r\n' \
  >"$INSTALL_DIR/Data/Options.ini"

section() { awk -v b="[+] $2" '$0 == b {on = 1; next} /^\[\+\] / {on = 0} on' "$1"; }

# version | SecurityProviders rows | Safe Mode line | Local Settings walked
cases=(
  "win2k|yes|no|yes"
  "winxp|yes|no|yes"
  "win7|no|yes|no"
)
bits=32
if [ "$WINE_ARCH" = win64 ]; then
  # A 64-bit Windows carries the newer default values whatever its version: XP x64 and 7.
  bits=64
  cases=(
    "winxp64|no|yes|yes"
    "win7|no|yes|no"
  )
fi
first_os=
for c in "${cases[@]}"; do
  IFS='|' read -r version providers safeboot local_settings <<<"$c"
  reg_ add "$app_key" /v Version /d "$version" /f || fail "set $version"
  "$WINE_RUN" "$INSTALL_DIR/$BSSCAN" --quiet --output "$INSTALL_WIN\\$version.txt" || fail "$version: bsscan exited $?"
  report="$INSTALL_DIR/$version.lf"
  tr -d '\r' <"$INSTALL_DIR/$version.txt" >"$report"

  # The operating-system line names what the registry says, not the version Wine tells the program.
  os=$(grep '^Operating System: ' "$report") || fail "$version: no operating-system line"
  [[ "$os" == *" $bits-bit" ]] || fail "$version: $os"
  [ -z "$first_os" ] && first_os=$os
  [ "$os" = "$first_os" ] || fail "$version: operating-system line changed: $os"

  rows=$(section "$report" "Registry startups" | grep -c '^Value: SecurityProviders$' || true)
  if [ "$providers" = yes ]; then
    [ "$rows" -ge 1 ] || fail "$version: credssp.dll should be reported"
    section "$report" "Registry startups" | grep -qxF 'Data: credssp.dll' || fail "$version: providers data"
  else
    [ "$rows" = 0 ] || fail "$version: credssp.dll is what this version holds, reported $rows times"
  fi

  if grep -qxF 'SafeBoot (Minimal) is NOT PRESENT!' "$report"; then has_line=yes; else has_line=no; fi
  [ "$has_line" = "$safeboot" ] || fail "$version: Safe Mode line expected: $safeboot"

  for title in "Files created/modified 30 days ago" "Executables in suspicious folders"; do
    if section "$report" "$title" | grep -qF '\Local Settings\bs-version-probe.exe ('; then
      listed=yes
    else
      listed=no
    fi
    [ "$listed" = "$local_settings" ] || fail "$version: $title: Local Settings file listed: $listed"
  done
done
echo "windows versions end-to-end: ok"
