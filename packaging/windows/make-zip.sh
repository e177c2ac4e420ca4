#!/usr/bin/env bash
# Makes the Windows zip of one architecture from a Windows build folder: KESTOV-A.exe
# (when that build has it), KESTOVA.SYS and the Japanese read-me (UTF-8 with BOM, CRLF).
#
# Usage: make-zip.sh BUILD_DIR x86|x64 OUT_DIR
# Prints the path of the zip made; fails when KESTOVA.SYS is missing.
set -euo pipefail
build=$(cd "${1:?usage: make-zip.sh BUILD_DIR x86|x64 OUT_DIR}" && pwd)
arch=${2:?}
out=${3:?}
here=$(cd "$(dirname "$0")" && pwd)

die() { echo "make-zip.sh: $*" >&2; exit 1; }

case $arch in
  x86) platform="Windows 2000/XP 以降・32 ビット版"; strip=i686-w64-mingw32-strip ;;
  x64) platform="64 ビット版 Windows"; strip=x86_64-w64-mingw32-strip ;;
  *) die "architecture $arch is neither x86 nor x64" ;;
esac
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || die "no project version in $build/CMakeCache.txt"

driver=$build/driver/KESTOVA.SYS
[ -f "$driver" ] || die "$driver was not built"
program=$(find "$build" -path "$build/CMakeFiles" -prune -o -name KESTOV-A.exe -type f -print |
  head -n 1)

name=kestov-a_${version}_windows-${arch}
stage=$build/zip-root/$name
rm -rf "$build/zip-root"
mkdir -p "$stage"
cp "$driver" "$stage/KESTOVA.SYS"
if [ -n "$program" ]; then
  "$strip" -o "$stage/KESTOV-A.exe" "$program"  # the build keeps its symbols, the zip not
  keep=EXE drop=NOEXE
else
  echo "make-zip.sh: no KESTOV-A.exe in $build yet; the $arch zip holds the driver alone" >&2
  keep=NOEXE drop=EXE
fi
{
  printf '\xef\xbb\xbf'
  sed -e "/^@$drop@/d" -e "s/^@$keep@//" -e "s|@VERSION@|$version|" -e "s|@PLATFORM@|$platform|" \
    "$here/README-ja.txt.in" | sed 's/$/\r/'
} >"$stage/README-ja.txt"

mkdir -p "$out"
zip_file=$(cd "$out" && pwd)/$name.zip
rm -f "$zip_file"
(cd "$build/zip-root" && zip -q -X -r "$zip_file" "$name")
echo "$zip_file"
