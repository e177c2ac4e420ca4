#!/usr/bin/env bash
# The two install sets: what ./run installs (.ci/install-packages --service-only) holds no
# peer server, browser, emulator, cross compiler or capture tool; and, once the packages are
# installed, nothing on this machine listens on port 21 (a peer server installed for the
# tests must not have been started).
# Usage: install_sets_test.sh   Exit status: 0 passed, 1 failed.
set -u
here=$(cd "$(dirname "$0")" && pwd)
status=0

service_set=$("$here/../../.ci/install-packages" --service-only --list) || exit 1
full_set=$("$here/../../.ci/install-packages" --list) || exit 1
while read -r package; do
  case $package in
    vsftpd|chromium*|wine*|qemu*|mingw*|tshark|*-linux-gnu*)
      echo "FAIL: ./run would install $package"; status=1 ;;
  esac
done <<<"$service_set"
# Every package of the service set is in the whole set too.
while read -r package; do
  grep -qx "$package" <<<"$full_set" || { echo "FAIL: $package is missing from the CI set"; status=1; }
done <<<"$service_set"

# Listening sockets (state 0A) on local port 21 (0015), IPv4 and IPv6.
listeners=$(awk 'NR > 1 && $4 == "0A" && $2 ~ /:0015$/' /proc/net/tcp /proc/net/tcp6 2>/dev/null)
if [ -n "$listeners" ]; then
  echo "FAIL: something listens on port 21:"; echo "$listeners"; status=1
fi
[ $status -eq 0 ] && echo "install sets: passed"
exit $status
