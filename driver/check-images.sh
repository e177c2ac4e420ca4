#!/bin/sh
# Proves that a KESTOVA.SYS is a kernel driver image as built:
#   - subsystem 1 (NT native);
#   - its entry point is DriverEntry (AddressOfEntryPoint + ImageBase = the symbol's address);
#   - it is relocatable (has a .reloc section);
#   - it imports from ntoskrnl.exe, NDIS.SYS and HAL.dll and nothing else;
#   - every function it imports is on the allow-list driver/kernel-imports.txt for its
#     architecture (the functions that Windows 2000 exports, for the i686 image).
# Usage: driver/check-images.sh <path-to-KESTOVA.SYS> <i686|amd64>
# Exits 0 when every check holds, 1 otherwise (each failure is printed).
set -u

if [ $# -ne 2 ]; then
  echo "usage: $0 <path-to-KESTOVA.SYS> <i686|amd64>" >&2
  exit 2
fi
image=$1
case $2 in
  i686) objdump=i686-w64-mingw32-objdump; nm=i686-w64-mingw32-nm; entry=_DriverEntry@8 ;;
  amd64) objdump=x86_64-w64-mingw32-objdump; nm=x86_64-w64-mingw32-nm; entry=DriverEntry ;;
  *) echo "unknown architecture '$2' (i686 or amd64)" >&2; exit 2 ;;
esac
if [ ! -f "$image" ]; then
  echo "FAIL: $image does not exist"
  exit 1
fi

failed=0
fail() { echo "FAIL ($2): $image: $1"; failed=1; }
headers=$($objdump -p "$image") || { echo "FAIL: $objdump cannot read $image"; exit 1; }

# Machine type: the right architecture for the name given.
format=$($objdump -f "$image" | sed -n 's/.*file format //p')
case $2 in
  i686) [ "$format" = pei-i386 ] || fail "file format is '$format', not pei-i386" "$2" ;;
  amd64) [ "$format" = pei-x86-64 ] || fail "file format is '$format', not pei-x86-64" "$2" ;;
esac

subsystem=$(printf '%s\n' "$headers" | awk '$1 == "Subsystem" { print $2 }')
[ "$subsystem" = 00000001 ] || fail "subsystem is '$subsystem', not 00000001 (NT native)" "$2"

entry_rva=$(printf '%s\n' "$headers" | awk '$1 == "AddressOfEntryPoint" { print $2 }')
image_base=$(printf '%s\n' "$headers" | awk '$1 == "ImageBase" { print $2 }')
symbol=$($nm "$image" | awk -v name="$entry" '$3 == name && ($2 == "T" || $2 == "t") { print $1 }')
if [ -z "$entry_rva" ] || [ -z "$image_base" ] || [ -z "$symbol" ]; then
  fail "cannot find the entry point ('$entry_rva'), image base ('$image_base') or $entry ('$symbol')" "$2"
else
  entry_address=$(printf '%x' $((0x$image_base + 0x$entry_rva)))
  symbol_address=$(printf '%x' $((0x$symbol)))
  [ "$entry_address" = "$symbol_address" ] ||
    fail "entry point 0x$entry_address is not $entry (0x$symbol_address)" "$2"
fi

# The kernel loads a driver wherever there is room, so the image must carry its relocations.
$objdump -h "$image" | awk '{ print $2 }' | grep -qx '.reloc' || fail "no .reloc section" "$2"

imports=$(printf '%s\n' "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | sort)
[ -n "$imports" ] || fail "no import table" "$2"
for dll in $imports; do
  case $dll in
    ntoskrnl.exe | NDIS.SYS | HAL.dll) ;;
    *) fail "imports from $dll" "$2" ;;
  esac
done
printf '%s\n' "$imports" | grep -qx ntoskrnl.exe || fail "does not import from ntoskrnl.exe" "$2"
printf '%s\n' "$imports" | grep -qx NDIS.SYS || fail "does not import from NDIS.SYS" "$2"

# Each imported function against the allow-list. An import by ordinal (shown as <none>) or an
# entry that cannot be read is never on the list, so it fails too.
allowed=$(dirname "$0")/kernel-imports.txt
if [ ! -f "$allowed" ]; then
  fail "the allow-list $allowed does not exist" "$2"
else
  refused=$(printf '%s\n' "$headers" | awk -v arch="$2" -v list="$allowed" '
    BEGIN {
      while ((getline line < list) > 0) {
        ++number
        if (line ~ /^[[:space:]]*(#|$)/) continue
        split(line, field)
        if (field[1] !~ /^(all|i686|amd64)$/ || field[4] == "") {
          print "allow-list line " number " is not <all|i686|amd64> <DLL> <function> <note>"
          continue
        }
        if (field[1] == "all" || field[1] == arch) ok[field[2] " " field[3]] = 1
      }
    }
    /^[[:space:]]*DLL Name: / { dll = $3; in_dll = 1; next }
    in_dll && NF == 0 { in_dll = 0; next }
    in_dll && $1 == "vma:" { next }
    in_dll {
      name = NF >= 3 ? $3 : "<unreadable entry \"" $0 "\">"
      if (!((dll " " name) in ok)) print "imports " name " from " dll ", which is not on " list
    }')
  if [ -n "$refused" ]; then
    printf '%s\n' "$refused" | while IFS= read -r line; do echo "FAIL ($2): $image: $line"; done
    failed=1
  fi
fi

if [ $failed -eq 0 ]; then
  echo "OK ($2): $image: native subsystem, entry $entry, imports $(echo $imports), all on the allow-list"
fi
exit $failed
