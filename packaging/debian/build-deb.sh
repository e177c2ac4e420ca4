#!/usr/bin/env bash
# Builds the kestov-a Debian package from a configured and built Linux build folder:
# installs it into a staging root, adds the Debian files and packs it with dpkg-deb.
#
# Usage: build-deb.sh BUILD_DIR DEBIAN_ARCH OUT_DIR
#   (the build folder must be configured with CMAKE_INSTALL_PREFIX=/usr)
# Prints the path of the package made.
set -euo pipefail
shopt -s inherit_errexit  # a die inside $(...) ends the script too
build=$(cd "${1:?usage: build-deb.sh BUILD_DIR DEBIAN_ARCH OUT_DIR}" && pwd)
arch=${2:?}
out=${3:?}
here=$(cd "$(dirname "$0")" && pwd)
maintainer=${KESTOVA_DEB_MAINTAINER:-KESTOV-A developers <kestov-a@example.org>}

die() { echo "build-deb.sh: $*" >&2; exit 1; }

cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
version=$(cache_value CMAKE_PROJECT_VERSION)
prefix=$(cache_value CMAKE_INSTALL_PREFIX)
[ -n "$version" ] || die "no project version in $build/CMakeCache.txt"
[ "$prefix" = /usr ] || die "$build is configured for $prefix; a package needs CMAKE_INSTALL_PREFIX=/usr"
changelog_version=$(sed -n '1s/^kestov-a (\([^)]*\)).*/\1/p' "$here/changelog")
[ "$changelog_version" = "$version" ] ||
  die "packaging/debian/changelog starts with $changelog_version, the project is $version"

stage=$build/deb-root
rm -rf "$stage"
DESTDIR=$stage cmake --install "$build" --strip >/dev/null

doc=$stage/usr/share/doc/kestov-a
mv "$doc/COPYRIGHT" "$doc/copyright"
gzip -9n "$doc/README.md"
gzip -9n -c "$here/changelog" >"$doc/changelog.gz"
find "$stage/usr/share/man" -type f -exec gzip -9n {} +

# Depends from what the programs need: each library they link to, at least the
# version that brought the newest symbol version any of them uses from it (as Debian's
# symbols files give it for these libraries). A library or a symbol version this table
# does not know ends the build: a guessed Depends would install where the programs cannot
# run.
depends_of() {
  local needed versions
  needed=$(readelf -d "$@" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | sort -u)
  versions=$(readelf -V "$@" | sed -n 's/.*Name: \([A-Z]*_[0-9.]*\).*/\1/p' | sort -u)
  newest() {
    local found
    found=$(echo "$versions" | sed -n "s/^$1_//p" | sort -V | tail -n 1)
    [ -n "$found" ] || die "no $1 symbol version found"
    echo "$found"
  }
  local lib cxx result=()
  for lib in $needed; do
    case $lib in
      libc.so.6|libm.so.6) result+=("libc6 (>= $(newest GLIBC))") ;;
      libstdc++.so.6)
        cxx=$(newest GLIBCXX)
        case $cxx in
          3.4|3.4.[0-9]|3.4.1[0-9]|3.4.2[01]) result+=("libstdc++6 (>= 5)") ;;
          3.4.22) result+=("libstdc++6 (>= 6)") ;; 3.4.23) result+=("libstdc++6 (>= 7)") ;;
          3.4.24|3.4.25) result+=("libstdc++6 (>= 8)") ;;
          3.4.26|3.4.27) result+=("libstdc++6 (>= 9)") ;; 3.4.28) result+=("libstdc++6 (>= 10)") ;;
          3.4.29) result+=("libstdc++6 (>= 11)") ;; 3.4.30) result+=("libstdc++6 (>= 12)") ;;
          *) die "no libstdc++6 version known for GLIBCXX_$cxx" ;;
        esac ;;
      libgcc_s.so.1) result+=("libgcc-s1 (>= $(newest GCC | cut -d. -f1-2))") ;;
      # Debian's shlibs file for the soname: libcpp-httplib0.11 (>= 0.11.4+ds).
      libcpp-httplib.so.0.11) result+=("libcpp-httplib0.11 (>= 0.11.4+ds)") ;;
      ld-linux*) ;;
      *) die "no Debian package known for $lib" ;;
    esac
  done
  printf '%s\n' "${result[@]}" | sort -u | paste -sd, | sed 's/,/, /g'
}
# The programs and the status page module kestov-a loads.
mapfile -t programs < <(find "$stage/usr/bin" "$stage/usr/sbin" -type f; find "$stage/usr/lib" -type f -name "*.so")
depends=$(depends_of "${programs[@]}")
[ -n "$depends" ] || die "no library dependencies found"

mkdir -p "$stage/DEBIAN"
for script in postinst prerm postrm; do
  install -m 0755 "$build/packaging/debian/$script" "$stage/DEBIAN/$script"
done
find "$stage/etc" -type f | sed "s|^$stage||" | sort >"$stage/DEBIAN/conffiles"
size=$(du -sk --exclude=DEBIAN "$stage" | cut -f1)
sed -e "s|@KESTOVA_VERSION@|$version|" -e "s|@KESTOVA_ARCH@|$arch|" \
  -e "s|@KESTOVA_MAINTAINER@|$maintainer|" -e "s|@KESTOVA_INSTALLED_SIZE@|$size|" \
  -e "s|@KESTOVA_DEPENDS@|$depends|" "$here/control.in" >"$stage/DEBIAN/control"
(cd "$stage" && find . -path ./DEBIAN -prune -o -type f -printf '%P\0' | sort -z |
  xargs -0 md5sum) >"$stage/DEBIAN/md5sums"
find "$stage" -type d -exec chmod 0755 {} +
find "$stage" -type f ! -path "$stage/DEBIAN/*" -exec chmod go-w {} +

mkdir -p "$out"
package=$out/kestov-a_${version}_${arch}.deb
dpkg-deb --root-owner-group -Zxz --build "$stage" "$package" >/dev/null
echo "$package"
