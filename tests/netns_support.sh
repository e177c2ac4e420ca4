# Shell helpers of the tests that run programs in two network namespaces joined by a veth
# pair (a recorder side and a destination side). Source it after setting `work` (the
# test's scratch folder, whose *.log files `fail` shows); `fail_label`, when set, is
# printed after FAIL.

skip() { echo "SKIP: $*"; exit 77; }

fail() {
  echo "FAIL${fail_label:+ ($fail_label)}: $*"
  for log in "$work"/*.log; do
    [ -f "$log" ] && { echo "--- $(basename "$log")"; tail -n 30 "$log"; }
  done
  exit 1
}

# Waits (at most $1 tenths of a second) until the command after it succeeds.
wait_for() {
  local tenths=$1 i
  shift
  for ((i = 0; i < tenths; i++)); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# make_namespaces NS_REC NS_DST VETH_REC VETH_DST REC_ADDRESS DST_ADDRESS
# Two namespaces with loopback up, joined by a veth pair whose ends carry the addresses
# (/24, with broadcast). Skips the test where namespaces cannot be made.
make_namespaces() {
  local ns_rec=$1 ns_dst=$2 veth_rec=$3 veth_dst=$4 rec_address=$5 dst_address=$6 ns
  ip netns add "$ns_rec" 2>"$work/netns.log" ||
    skip "cannot create network namespaces: $(cat "$work/netns.log")"
  ip netns add "$ns_dst" || fail "second namespace"
  ip link add "$veth_rec" type veth peer name "$veth_dst" || fail "veth pair"
  ip link set "$veth_rec" netns "$ns_rec" && ip link set "$veth_dst" netns "$ns_dst" ||
    fail "moving veth"
  ip -n "$ns_rec" addr add "$rec_address/24" brd + dev "$veth_rec" || fail "recorder address"
  ip -n "$ns_dst" addr add "$dst_address/24" brd + dev "$veth_dst" || fail "destination address"
  for ns in "$ns_rec" "$ns_dst"; do ip -n "$ns" link set lo up; done
  ip -n "$ns_rec" link set "$veth_rec" up && ip -n "$ns_dst" link set "$veth_dst" up ||
    fail "links up"
}

# remove_namespaces NS...: kills every process left in them (all started by the test; a
# namespace with processes would outlive its deletion) and deletes them, and with them
# the veth pair.
remove_namespaces() {
  local ns pid
  for ns in "$@"; do
    for pid in $(ip netns pids "$ns" 2>/dev/null); do kill -KILL "$pid" 2>/dev/null; done
  done
  wait 2>/dev/null
  for ns in "$@"; do ip netns del "$ns" 2>/dev/null; done
}
