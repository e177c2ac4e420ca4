#!/usr/bin/env bash
# Name answering across network namespaces: a recorder side and a destination side, joined by a
# veth pair. kestov-a runs in the destination namespace with the capture method given; the
# recorder simulator broadcasts a NetBIOS name query for a "GR-" name from UDP port 137, must get
# the destination's veth address in the answer, and dubs a programme to that address. tshark,
# where installed, must decode the answer as a well-formed NBNS name query response.
#
# Usage: netns_name_answering.sh KESTOV-A KESTOV-RECORDER packet|socket
# Exit status: 0 passed, 1 failed, 77 skipped (not root, no network namespaces).
set -u
kestov_a=${1:?usage: netns_name_answering.sh KESTOV-A KESTOV-RECORDER packet|socket}
recorder=${2:?}
method=${3:?}

fail_label=$method
source "$(dirname "$0")/../netns_support.sh"
[ "$(id -u)" = 0 ] || skip "needs root to create network namespaces"
command -v ip >/dev/null || skip "ip (iproute2) is not installed"

# Unique names per run (interface names have at most 15 characters).
tag=kc$(printf '%x%x' $$ $RANDOM | tail -c 10)
ns_rec=${tag}-rec
ns_dst=${tag}-dst
veth_rec=${tag}r
veth_dst=${tag}d
rec_address=10.213.0.1
dst_address=10.213.0.2
broadcast=10.213.0.255
work=$(mktemp -d)
kestov_pid=
tshark_pid=

cleanup() {
  # Besides what runs in the namespaces: tshark and kestov-a's watchdog, started here.
  [ -n "$tshark_pid" ] && kill -KILL "$tshark_pid" 2>/dev/null
  [ -n "$kestov_pid" ] && kill -KILL "$kestov_pid" 2>/dev/null
  remove_namespaces "$ns_rec" "$ns_dst"
  rm -rf "$work"
}
trap cleanup EXIT

make_namespaces "$ns_rec" "$ns_dst" "$veth_rec" "$veth_dst" "$rec_address" "$dst_address"
# A second adapter of the destination (as a VPN would add): the answer must still carry the
# address through which the recorder is reached.
ip -n "$ns_dst" link add "${tag}v" type dummy 2>/dev/null &&
  ip -n "$ns_dst" addr add 172.31.213.2/24 dev "${tag}v" && ip -n "$ns_dst" link set "${tag}v" up

# The destination: packet capture on every interface, the socket capture bound to the veth.
mkdir -p "$work/received"
interface_args=()
[ "$method" = socket ] && interface_args=(--interface "$veth_dst")
ip netns exec "$ns_dst" timeout 110 "$kestov_a" --folder "$work/received" \
  --settings "$work/kestov-a.ini" --port 21 --capture "$method" "${interface_args[@]}" \
  >"$work/kestov-a.out.log" 2>"$work/kestov-a.err.log" &
kestov_pid=$!
wait_for 100 grep -q "serving .* on port 21" "$work/kestov-a.out.log" || fail "kestov-a did not start"
case $method in
  packet) expected="name answering: packet capture on every interface" ;;
  socket) expected="name answering: UDP port 137 on $veth_dst" ;;
  *) fail "unknown method $method" ;;
esac
wait_for 50 grep -qF "$expected" "$work/kestov-a.err.log" || fail "name answering did not start"

# The recorder side's view of the wire, decoded afterwards.
if command -v tshark >/dev/null; then
  ip netns exec "$ns_rec" timeout 90 tshark -n -i "$veth_rec" -f "udp port 137" \
    -w "$work/nbns.pcapng" >"$work/tshark.log" 2>&1 &
  tshark_pid=$!
  wait_for 150 grep -q "Capturing on" "$work/tshark.log" || fail "tshark did not start"
fi

# A name nobody answers: no answer within the wait.
ip netns exec "$ns_rec" timeout 30 "$recorder" --discover WORKGROUP --broadcast "$broadcast" \
  --discover-timeout 1500 --timeout 5000 >"$work/other-name.log" 2>&1 &&
  fail "a query for WORKGROUP was answered"
grep -q "no answer" "$work/other-name.log" || fail "query for WORKGROUP: unexpected failure"

# Discovery and dubbing, as a recorder does them.
ip netns exec "$ns_rec" timeout 60 "$recorder" --discover GR-E2ETEST --broadcast "$broadcast" \
  --discover-timeout 10000 --title NETNS --size 300K --timeout 15000 \
  --copy-to "$work/sent.bin" --verbose >"$work/recorder.log" 2>&1 || fail "the recorder could not dub"
grep -q "GR-E2ETEST answered from $dst_address\$" "$work/recorder.log" ||
  fail "the answer did not carry $dst_address"
received=$(find "$work/received" -maxdepth 1 -name 'NETNS*.MPG' | head -n 1)
[ -n "$received" ] || fail "no programme file in the receiving folder"
cmp -s "$received" "$work/sent.bin" || fail "the programme file differs from the stream sent"

if [ -n "$tshark_pid" ]; then
  sleep 0.5  # let tshark write the last packets
  kill -INT "$tshark_pid"
  wait "$tshark_pid" 2>/dev/null
  tshark_pid=
  responses=$(tshark -n -r "$work/nbns.pcapng" -Y "nbns.flags.response == 1" \
    -T fields -e ip.src -e udp.dstport -e nbns.name -e nbns.addr 2>"$work/tshark-read.log")
  echo "$responses" > "$work/responses.log"
  malformed=$(tshark -n -r "$work/nbns.pcapng" -Y "_ws.malformed || _ws.expert.severity >= error" \
    2>/dev/null | wc -l)
  [ "$malformed" -eq 0 ] || fail "tshark found $malformed malformed packets"
  echo "$responses" | grep -qP "^$dst_address\t137\tKESTOV-A<20>[^\t]*\t$dst_address$" ||
    fail "tshark did not decode the answer as KESTOV-A at $dst_address to port 137"
  [ "$(echo "$responses" | grep -c .)" -ge 1 ] || fail "no response captured"
else
  echo "tshark is not installed: the answer's decoding is not checked"
fi

# Orderly end: no capture failure was reported, exit status 0.
kill -TERM "$kestov_pid"
wait_for 100 bash -c "! kill -0 $kestov_pid 2>/dev/null" || fail "kestov-a did not stop"
wait "$kestov_pid"
status=$?
kestov_pid=
[ "$status" -eq 0 ] || fail "kestov-a exited with $status"
grep -q "name answering has stopped" "$work/kestov-a.err.log" && fail "the capture failed"
echo "PASS ($method): GR-E2ETEST answered with $dst_address, programme dubbed and received"
