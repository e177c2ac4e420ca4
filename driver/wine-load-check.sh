#!/bin/bash
# Loads the amd64 KESTOVA.SYS as a kernel service in a private Wine prefix and checks that
#   - Wine loads the image (every import resolves) and runs DriverEntry (the banner is printed);
#   - the entry creates \Device\KESTOVA and \DosDevices\KESTOVA and calls NdisRegisterProtocol;
#   - Wine's NDIS refuses the registration (it is a stub there), so the start fails, and the entry
#     has removed the device and the link and freed the capture buffer.
# Wine cannot bind an NDIS protocol to an adapter, so nothing beyond the entry can be checked here.
#
# Usage: driver/wine-load-check.sh <path-to-amd64-KESTOVA.SYS> [work-folder]
# Exit status: 0 passed, or skipped with a "SKIP:" line when Wine cannot host the check;
# 1 a check failed ("FAIL:" lines); 2 bad usage. Every Wine step has its own time limit.
set -u

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: $0 <path-to-amd64-KESTOVA.SYS> [work-folder]" >&2
  exit 2
fi
image=$1
work=${2:-$(dirname "$image")/wine-load-check}
if [ ! -f "$image" ]; then
  echo "FAIL: $image does not exist"
  exit 1
fi
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || true)
wineserver=/usr/lib/wine/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver || true)
if [ -z "$wine" ] || [ -z "$wineserver" ]; then
  echo "SKIP: wine64 is not installed, so the driver cannot be loaded under Wine"
  exit 0
fi

rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX=$work/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES=mscoree,mshtml=
log=$work/start.log
cleanup() { "$wineserver" -k >/dev/null 2>&1 || true; }
trap cleanup EXIT

if ! timeout 180 "$wine" wineboot -i >"$work/wineboot.log" 2>&1; then
  echo "SKIP: a Wine prefix could not be created (see $work/wineboot.log)"
  exit 0
fi
drivers=$WINEPREFIX/drive_c/windows/system32/drivers
if [ ! -f "$drivers/ndis.sys" ] || [ ! -f "$WINEPREFIX/drive_c/windows/system32/winedevice.exe" ]; then
  echo "SKIP: this Wine has no ndis.sys or winedevice.exe to host a kernel driver"
  exit 0
fi
cp "$image" "$drivers/KESTOVA.SYS"
if ! timeout 60 "$wine" sc create KESTOVA type= kernel \
    binPath= 'C:\windows\system32\drivers\KESTOVA.SYS' >"$work/create.log" 2>&1; then
  echo "SKIP: Wine's service manager did not create the kernel service (see $work/create.log)"
  exit 0
fi

# The driver host (winedevice) inherits the debug channels from the wineserver's first process,
# so the prefix is restarted with tracing on for the start.
"$wineserver" -k >/dev/null 2>&1
WINEDEBUG=+ntoskrnl,+ndis,+debugstr timeout 90 "$wine" sc start KESTOVA >"$work/sc-start.out" 2>"$log"
start_status=$?

failed=0
fail() { echo "FAIL: $1 (see $log)"; failed=1; }

load_line=$(grep -m1 -n 'load_driver loading driver .*KESTOVA.SYS' "$log" | cut -d: -f1)
if [ -z "$load_line" ]; then
  fail "Wine did not load KESTOVA.SYS"
  exit 1
fi
thread=$(sed -n "${load_line}p" "$log" | cut -d: -f1)
# What the loading thread did from then on.
entry=$(tail -n +"$load_line" "$log" | grep "^$thread:")

grep -qi 'unimplemented function' "$log" && fail "the driver called a function Wine does not implement"
echo "$entry" | grep -q 'Description : Packet I/O Driver' || fail "DriverEntry did not print its banner"
echo "$entry" | grep -q 'IoCreateDevice .*L"\\\\Device\\\\KESTOVA", 18, 100' ||
  fail "the control device was not created as a secure network device"
echo "$entry" | grep -q 'IoCreateSymbolicLink L"\\\\DosDevices\\\\KESTOVA" -> L"\\\\Device\\\\KESTOVA"' ||
  fail "the symbolic link was not created"
echo "$entry" | grep -q 'NdisRegisterProtocol' || fail "DriverEntry did not reach NdisRegisterProtocol"
after=$(echo "$entry" | sed -n '/NdisRegisterProtocol/,$p')
echo "$after" | grep -q 'IoDeleteDevice' || fail "the device was not deleted after the failed registration"
echo "$after" | grep -q 'ExFreePoolWithTag' || fail "the capture buffer was not freed"
if [ $start_status -eq 0 ]; then
  fail "the service started, but Wine's NDIS cannot register a protocol"
fi
grep -q 'failed to start service 31' "$log" ||
  fail "the start did not fail with ERROR_GEN_FAILURE (STATUS_UNSUCCESSFUL from DriverEntry)"

# The link is gone: opening the device from user mode finds nothing (ERROR_FILE_NOT_FOUND).
if command -v x86_64-w64-mingw32-gcc >/dev/null 2>&1; then
  cat >"$work/probe.c" <<'PROBE'
#include <windows.h>
#include <stdio.h>
int main(void) {
  HANDLE h = CreateFileA("\\\\.\\KESTOVA", GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
  printf("%lu\n", h == INVALID_HANDLE_VALUE ? GetLastError() : 0ul);
  return 0;
}
PROBE
  if x86_64-w64-mingw32-gcc -O0 -o "$work/probe.exe" "$work/probe.c" 2>"$work/probe-build.log"; then
    probe=$(timeout 60 "$wine" "$work/probe.exe" 2>/dev/null | tr -d '\r')
    [ "$probe" = 2 ] || fail "\\\\.\\KESTOVA still opens after the failed start (error '$probe')"
  else
    echo "note: the user-mode probe could not be built; the link removal is not checked"
  fi
fi

timeout 60 "$wine" sc delete KESTOVA >/dev/null 2>&1 || true
if [ $failed -eq 0 ]; then
  echo "OK: KESTOVA.SYS loads under Wine, DriverEntry runs to NdisRegisterProtocol and fails cleanly"
fi
exit $failed
