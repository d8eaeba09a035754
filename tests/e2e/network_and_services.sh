#!/usr/bin/env bash
# The network and service sections of bsscan.exe in the build tree's prefix: sockets opened by
# socket_owner.exe appear under "TCP Connections" and "UDP Connections" with its name ("N/A"
# where the system's owner tables give process id 0, as Wine's do), and its IPv6 socket does
# not; a service of ours, installed with CreateServiceA and started, shows in "Services" with its
# display name and digest, and is gone once it is stopped.
source "$(dirname "$0")/lib.sh" "$1" "$2"

cp "$BIN_DIR/tests/socket_owner.exe" "$BIN_DIR/tests/sample_service.exe" "$INSTALL_DIR/"
service="BsE2eSvc$$"
display="Burrow Sentry e2e service $$"
manage() { "$WINE_RUN" "$INSTALL_DIR/sample_service.exe" "$@"; }

owner_pid=
installed=
cleanup() {
  if [ -n "$installed" ]; then
    manage --stop "$service" >/dev/null 2>&1 || true
    manage --delete "$service" >/dev/null 2>&1 || true
  fi
  [ -z "$owner_pid" ] || kill "$owner_pid" 2>/dev/null || true
  [ -z "$owner_pid" ] || wait "$owner_pid" 2>/dev/null || true
  cleanup_install
}
trap cleanup EXIT

# The socket owner is also the ordinary process that keeps Wine's services alive.
"$WINE_RUN" "$INSTALL_DIR/socket_owner.exe" 600 >"$INSTALL_DIR/owner.out" 2>&1 &
owner_pid=$!
for _ in $(seq 100); do
  grep -q '^udp_owner ' "$INSTALL_DIR/owner.out" 2>/dev/null && break
  kill -0 "$owner_pid" 2>/dev/null || fail "socket_owner ended: $(cat "$INSTALL_DIR/owner.out")"
  sleep 0.2
done
tr -d '\r' <"$INSTALL_DIR/owner.out" >"$INSTALL_DIR/owner.lf"
tcp_port=$(awk '$1 == "tcp" {print $2}' "$INSTALL_DIR/owner.lf")
udp_port=$(awk '$1 == "udp" {print $2}' "$INSTALL_DIR/owner.lf")
tcp6_port=$(awk '$1 == "tcp6" {print $2}' "$INSTALL_DIR/owner.lf")
[ -n "$tcp_port" ] && [ -n "$udp_port" ] && [ -n "$tcp6_port" ] || fail "no ports from socket_owner"

# The name a line must show: the owner's, when the table names our process; "N/A" when it
# gives process id 0.
owner_name() {  # owner_name KIND
  local self owner
  self=$(awk '$1 == "self" {print $2}' "$INSTALL_DIR/owner.lf")
  owner=$(awk -v k="$1_owner" '$1 == k {print $2}' "$INSTALL_DIR/owner.lf")
  if [ "$owner" = "$self" ]; then
    echo socket_owner.exe
  elif [ "$owner" = 0 ]; then
    echo "network_and_services: the $1 owner table gives process id 0 here; expecting N/A" >&2
    echo N/A
  else
    fail "the $1 owner table gives '$owner' for our socket (we are $self)"
  fi
}
tcp_name=$(owner_name tcp)
udp_name=$(owner_name udp)

# Slow optional sections off (CLSID, unknown .sys, recent files, hooks, kernel).
mkdir -p "$INSTALL_DIR/Data"
printf '[Options]\r\n4=0\r\n5=0\r\n3=0\r\n9=0\r\n10=0\r\n11=0\r\n25=English\r\n12=0\r\n13=0\r\n14=0\r\n15=0\r\n16=0\r\n17=0\r\n18=-1\r\n27=0\r\n28=0\r\n29=0\r\n30=0\r\n31=0\r\n32=0\r\n33=0\r\n34=-1\r\n35=0\r\n' \
  >"$INSTALL_DIR/Data/Options.ini"

# Prints the items of one section: the lines between its banner and the next one.
section() {
  awk -v title="[+] $1" '$0 == title {on = 1; next} /^\[\+\] / {on = 0} on && $0 != ""' "$2"
}
scan() {
  "$WINE_RUN" "$INSTALL_DIR/$BSSCAN" --quiet --output "$INSTALL_WIN\\$1.txt" || fail "bsscan exited $?"
  tr -d '\r' <"$INSTALL_DIR/$1.txt" >"$INSTALL_DIR/$1.lf"
}

manage --install "$service" "$display" || fail "cannot install the service"
installed=1
manage --start "$service" || fail "cannot start the service"
scan running
report="$INSTALL_DIR/running.lf"

# 1. The sockets, named after their owner.
section "TCP Connections" "$report" >"$INSTALL_DIR/tcp.txt"
section "UDP Connections" "$report" >"$INSTALL_DIR/udp.txt"
tcp_line="$tcp_name -> 127.0.0.1:$tcp_port -> 0.0.0.0:0 -> LISTENING"
udp_line="$udp_name -> 127.0.0.1:$udp_port -> *.*"
grep -qxF "$tcp_line" "$INSTALL_DIR/tcp.txt" || fail "missing '$tcp_line' in: $(cat "$INSTALL_DIR/tcp.txt")"
grep -qxF "$udp_line" "$INSTALL_DIR/udp.txt" || fail "missing '$udp_line' in: $(cat "$INSTALL_DIR/udp.txt")"
# Only IPv4 endpoints, and never our IPv6 listener.
ipv4='[0-9]{1,3}\.[0-9]{1,3}\.[0-9]{1,3}\.[0-9]{1,3}:[0-9]{1,5}'
grep -Evx "[^ ]+ -> $ipv4 -> $ipv4 -> [A-Z_12]+" "$INSTALL_DIR/tcp.txt" && fail "a TCP line is no IPv4 endpoint"
grep -Evx "[^ ]+ -> $ipv4 -> \*\.\*" "$INSTALL_DIR/udp.txt" && fail "a UDP line is no IPv4 endpoint"
if [ "$tcp6_port" != 0 ]; then
  grep -q ":$tcp6_port -> " "$INSTALL_DIR/tcp.txt" && fail "the IPv6 listener on port $tcp6_port was listed"
else
  echo "network_and_services: no IPv6 loopback here; the IPv6 check has nothing to look for" >&2
fi

# 2. The running service, with its display name and digest; its file is not versioned.
md5=$(md5sum "$INSTALL_DIR/sample_service.exe" | cut -d' ' -f1)
file=$(printf '%s' "c:\\$INSTALL_NAME\\sample_service.exe" | tr '[:upper:]' '[:lower:]')
service_line="$file ($service) ($display) (Unknown) ($md5)"
section "Services" "$report" >"$INSTALL_DIR/services.txt"
grep -qxF "$service_line" "$INSTALL_DIR/services.txt" \
  || fail "missing '$service_line' in Services: $(cat "$INSTALL_DIR/services.txt")"

# 3. Stopped, it is no longer listed.
manage --stop "$service" || fail "cannot stop the service"
scan stopped
section "Services" "$INSTALL_DIR/stopped.lf" | grep -F "($service)" && fail "a stopped service is listed"
manage --delete "$service" || fail "cannot delete the service"
installed=
echo "network and services end-to-end: ok"
