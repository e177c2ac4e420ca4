#!/bin/sh
# Proves that driver/check-images.sh refuses a kernel image importing an NDIS 5.1 function
# (NdisSetPacketPoolProtocolId, which Windows 2000 lacks) and that the refusal is for that import:
# the same tiny image without the call passes. Done for both architectures; the images are linked
# the way KESTOVA.SYS is.
# Usage: driver/check-images-selftest.sh. Exits 0 when every case holds, 1 otherwise.
set -u
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT

cat >"$work/tiny.c" <<'C'
/* A driver entry importing one allowed function each from NDIS.SYS and ntoskrnl.exe, and with
   FORBIDDEN defined also NdisSetPacketPoolProtocolId. */
typedef unsigned int UINT;
void __stdcall NdisFreeMemory(void *address, UINT length, UINT flags);
unsigned long __cdecl DbgPrint(const char *format, ...);
void __stdcall NdisSetPacketPoolProtocolId(void *pool, UINT protocol_id);
static const char text[] = "selftest\n";
const char *volatile message = text; /* an absolute address, so the image has relocations */
long __stdcall DriverEntry(void *driver, void *registry_path) {
  DbgPrint(message);
  NdisFreeMemory(registry_path, 0, 0);
#ifdef FORBIDDEN
  NdisSetPacketPoolProtocolId(driver, 4);
#endif
  (void)driver;
  return 0;
}
C

status=0
for arch in i686 amd64; do
  case $arch in
    i686) cc=i686-w64-mingw32-gcc; entry=_DriverEntry@8 ;;
    amd64) cc=x86_64-w64-mingw32-gcc; entry=DriverEntry ;;
  esac
  for variant in allowed forbidden; do
    define=
    [ $variant = forbidden ] && define=-DFORBIDDEN
    if ! $cc $define -O1 -ffreestanding -shared -nostdlib -nostartfiles -Wl,--subsystem,native \
      -Wl,--entry,$entry -Wl,--image-base,0x10000 -Wl,--fatal-warnings "$work/tiny.c" \
      -o "$work/$arch-$variant.sys" -lndis -lntoskrnl -lhal; then
      echo "check-images selftest: cannot link the $variant $arch image"
      status=1
      continue
    fi
    "$here/check-images.sh" "$work/$arch-$variant.sys" $arch >"$work/out" 2>&1
    result=$?
    if [ $variant = allowed ] && [ $result -ne 0 ]; then
      echo "check-images selftest: the $arch image without NdisSetPacketPoolProtocolId fails:"
      cat "$work/out"
      status=1
    elif [ $variant = forbidden ] &&
      { [ $result -ne 1 ] || ! grep -q 'imports NdisSetPacketPoolProtocolId from NDIS.SYS' "$work/out"; }; then
      echo "check-images selftest: the $arch image importing NdisSetPacketPoolProtocolId is not refused for it:"
      cat "$work/out"
      status=1
    fi
  done
done
[ $status -eq 0 ] && echo "check-images selftest: NdisSetPacketPoolProtocolId refused on i686 and amd64"
exit $status
