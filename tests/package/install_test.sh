#!/usr/bin/env bash
# The amd64 package installed on this machine: dpkg -i (which, without a running systemd,
# prints a start command that is then run), the programs answer --version, the man pages
# render without warnings and man -L ja finds the Japanese one, systemd accepts the unit,
# and the service's own privilege set works without systemd: the unit's ExecStart run as
# the service user with exactly the unit's ambient capabilities (setpriv) binds port 21, answers name queries
# and receives a programme from kestov-recorder in private network namespaces, while the
# same user without them is refused with a message saying why. Then dpkg --purge leaves
# no user, group, unit or settings, and the received programme is still there.
#
# Usage: install_test.sh PACKAGE.deb VERSION
# Exit status: 0 passed, 1 failed, 77 skipped (not root, or kestov-a already on this machine).
set -u
package=${1:?usage: install_test.sh PACKAGE.deb VERSION}
version=${2:?}
user=kestov-a
folder=/srv/kestov-a
unit=/usr/lib/systemd/system/kestov-a.service

source "$(dirname "$0")/../netns_support.sh"
[ "$(id -u)" = 0 ] || skip "needs root to install a package"
dpkg-query -W -f='${Status}' kestov-a 2>/dev/null | grep -q installed &&
  skip "kestov-a is already installed here"
getent passwd "$user" >/dev/null && skip "a user $user exists already"
[ -e "$folder" ] && skip "$folder exists already"
command -v setpriv >/dev/null || skip "setpriv is not installed"

tag=kp$(printf '%x%x' $$ $RANDOM | tail -c 10)
ns_rec=${tag}-rec
ns_dst=${tag}-dst
work=$(mktemp -d)
installed=0

cleanup() {
  remove_namespaces "$ns_rec" "$ns_dst"
  [ $installed = 1 ] && dpkg --purge kestov-a >/dev/null 2>&1
  rm -rf "$folder"  # it did not exist before the test
  rm -rf "$work"
}
trap cleanup EXIT

# Installation.
dpkg -i "$package" >"$work/dpkg-install.log" 2>&1 || fail "dpkg -i"
installed=1
[ "$(kestov-a --version)" = "kestov-a $version" ] || fail "kestov-a --version: $(kestov-a --version)"
[ "$(kestov-recorder --version)" = "kestov-recorder $version" ] || fail "kestov-recorder --version"
getent passwd "$user" >/dev/null || fail "no user $user"
[ "$(stat -c '%U:%G %a' "$folder")" = "$user:$user 2775" ] ||
  fail "$folder is $(stat -c '%U:%G %a' "$folder"), not $user:$user 2775"
[ -f /etc/kestov-a/kestov-a.ini ] || fail "no settings file"

# Man pages render, and man finds nothing to warn about.
for page in 8:kestov-a 1:kestov-recorder; do
  MANWIDTH=80 man --warnings -P cat "${page%%:*}" "${page#*:}" >"$work/man.out" 2>"$work/man.log" ||
    fail "man ${page#*:}"
  [ -s "$work/man.log" ] && fail "man ${page#*:} warns: $(head -n 3 "$work/man.log")"
  grep -q "^NAME" "$work/man.out" || fail "man ${page#*:} rendered no NAME section"
done

MANWIDTH=80 man -L ja -P cat 8 kestov-a 2>/dev/null | grep -q "^名前" || fail "no Japanese man page (man -L ja)"

# The unit as systemd reads it.
if command -v systemd-analyze >/dev/null; then
  systemd-analyze verify "$unit" >"$work/verify.log" 2>&1 || fail "systemd-analyze verify"
  grep -i "kestov" "$work/verify.log" && fail "systemd-analyze verify complains"
else
  echo "systemd-analyze is not installed: the unit is not verified"
fi

# The service's privilege set, read from the installed unit.
unit_value() { sed -n "s/^$1=//p" "$unit" | tail -n 1; }
exec_start=$(unit_value ExecStart)
ambient=$(unit_value AmbientCapabilities)
[ "$(unit_value User)" = "$user" ] || fail "the unit does not run as $user"
[ -n "$exec_start" ] && [ -n "$ambient" ] || fail "no ExecStart or AmbientCapabilities in the unit"
caps=$(for cap in $ambient; do printf '+%s,' "$(echo "${cap#CAP_}" | tr 'A-Z' 'a-z')"; done)
caps=${caps%,}
read -r -a command <<<"$exec_start"
# Sets `setpriv` to the command prefix that runs as the service user with no new privileges
# and the capabilities given ("" for none) as the only inheritable, ambient and bounding
# ones, under the unit's umask.
as_service_user() {
  local caps=$1
  setpriv=(setpriv --reuid "$user" --regid "$user" --init-groups --no-new-privs
    --bounding-set "-all${caps:+,$caps}")
  [ -n "$caps" ] && setpriv+=(--inh-caps "$caps" --ambient-caps "$caps")
  setpriv+=(-- sh -c 'umask 0002; exec "$@"' sh)
}

make_namespaces "$ns_rec" "$ns_dst" "${tag}r" "${tag}d" 10.214.0.1 10.214.0.2

# Without the capabilities: refused, saying why.
as_service_user ""
ip netns exec "$ns_dst" timeout 20 "${setpriv[@]}" "${command[@]}" \
  >"$work/refused.out.log" 2>"$work/refused.err.log"
status=$?
[ $status = 1 ] || fail "without capabilities kestov-a ended with $status, not 1"
grep -q "could not start on port 21" "$work/refused.err.log" || fail "no clear refusal of port 21"
grep -qi "cap_net_bind_service" "$work/refused.err.log" || fail "the refusal does not name the right"

# Without a running systemd the installation said how to start the service by hand; that
# command, as printed, grants the unit's capabilities and serves.
if [ ! -d /run/systemd/system ]; then
  printed=$(sed -n 's/^  sudo //p' "$work/dpkg-install.log")
  [ -n "$printed" ] || fail "without systemd the installation printed no start command"
  case $printed in *"--ambient-caps=$caps "*) ;; *) fail "the printed command lacks $caps" ;; esac
  ip netns exec "$ns_dst" timeout 100 sh -c "$printed" >"$work/by-hand.out.log" 2>&1 &
  wait_for 100 grep -q "serving $folder on port 21" "$work/by-hand.out.log" ||
    fail "the printed start command did not serve: $(tail -n 3 "$work/by-hand.out.log")"
  for pid in $(ip netns pids "$ns_dst"); do kill -TERM "$pid" 2>/dev/null; done
  wait
  namespace_empty() { [ -z "$(ip netns pids "$1")" ]; }
  wait_for 100 namespace_empty "$ns_dst" || fail "the service started by hand did not end"
fi

# With exactly the unit's capabilities.
as_service_user "$caps"
: >"$work/service.out.log"
: >"$work/service.err.log"
ip netns exec "$ns_dst" timeout 100 "${setpriv[@]}" "${command[@]}" \
  >"$work/service.out.log" 2>"$work/service.err.log" &
wait_for 100 grep -q "serving $folder on port 21" "$work/service.out.log" ||
  fail "kestov-a did not serve $folder on port 21"
wait_for 50 grep -q "name answering: packet capture" "$work/service.err.log" ||
  fail "no packet capture of name queries"
ip netns exec "$ns_rec" timeout 60 kestov-recorder --discover GR-PACKAGE --broadcast 10.214.0.255 \
  --discover-timeout 10000 --title PACKAGED --size 200K --timeout 15000 \
  --copy-to "$work/sent.bin" >"$work/recorder.log" 2>&1 || fail "kestov-recorder could not dub"
grep -q "GR-PACKAGE answered from 10.214.0.2$" "$work/recorder.log" || fail "wrong answer"
programme=$folder/PACKAGED.MPG
wait_for 50 cmp -s "$programme" "$work/sent.bin" || fail "$programme differs from what was sent"
[ "$(stat -c '%U:%G %a' "$programme")" = "$user:$user 664" ] ||
  fail "$programme is $(stat -c '%U:%G %a' "$programme"), not $user:$user 664"
# The default settings turn the status page on: the LAN sees the reception there.
ip netns exec "$ns_rec" curl -s --max-time 10 http://10.214.0.2:8021/api/receptions \
  >"$work/receptions.json" || fail "no status page on port 8021"
grep -q '"fileName":"PACKAGED.MPG"' "$work/receptions.json" || fail "the status page lacks the reception"
for pid in $(ip netns pids "$ns_dst"); do kill -TERM "$pid" 2>/dev/null; done
wait
# Not a terminal (as under systemd, whose journal takes the output): plain lines.
grep -q "PACKAGED.MPG" "$work/service.out.log" || fail "the reception was not written to the output"

# Purge: nothing of the package is left but the programme.
dpkg --purge kestov-a >"$work/dpkg-purge.log" 2>&1 || fail "dpkg --purge"
installed=0
getent passwd "$user" >/dev/null && fail "the user $user is still there"
getent group "$user" >/dev/null && fail "the group $user is still there"
[ -e "$unit" ] && fail "the unit is still there"
[ -e /etc/kestov-a ] && fail "/etc/kestov-a is still there"
find /etc/systemd -name 'kestov-a*' | grep -q . && fail "systemd links are still there"
cmp -s "$programme" "$work/sent.bin" || fail "the purge lost the received programme"
[ "$(stat -c '%U:%G' "$programme")" = "root:root" ] || fail "the programme was not handed to root"
echo "PASS: installed, --version $version, man pages, unit verified, service rights proved," \
  "refused without them, purged with the programme kept"
