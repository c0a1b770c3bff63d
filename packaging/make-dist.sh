#!/bin/sh
# Makes the release archives from two configured and built build folders:
#
#   packaging/make-dist.sh LINUX_BUILD WINDOWS_BUILD DIST
#
# DIST/NAME.tar.gz from LINUX_BUILD and DIST/NAME.zip from WINDOWS_BUILD
# (NAME: tgraminterp-VERSION-SYSTEM-ARCHITECTURE, from each build's CMake
# cache), and DIST/tgraminterp-VERSION-SHA256SUMS.txt with their sums.
# Each archive holds one folder, NAME/, made by `cmake --install`: the
# programs stripped (component "programs") and the README, licence,
# changelog and examples (component "package"). Nothing is built here.
#
# The archives are the same bytes for the same sources and programs: names
# sorted, owner root, the time of the last commit (or SOURCE_DATE_EPOCH) on
# every entry, no other attributes.
set -eu

linux_build=$1
windows_build=$2
dist=$3

cached() {
  sed -n "s/^$2:[A-Z]*=//p" "$1/CMakeCache.txt"
}

version=$(cached "$linux_build" CMAKE_PROJECT_VERSION)
windows_version=$(cached "$windows_build" CMAKE_PROJECT_VERSION)
if [ -z "$version" ] || [ "$version" != "$windows_version" ]; then
  echo "make-dist.sh: the builds' versions differ or are unknown: '$version', '$windows_version'" >&2
  exit 1
fi
linux_name=$(cached "$linux_build" TGRAM_PACKAGE_NAME)
windows_name=$(cached "$windows_build" TGRAM_PACKAGE_NAME)
sums=tgraminterp-$version-SHA256SUMS.txt

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$(dirname "$0")" log -1 --format=%ct 2>/dev/null || date +%s)
fi
# Also for strip, which dates a Windows program by it.
export SOURCE_DATE_EPOCH

mkdir -p "$dist"
dist=$(cd "$dist" && pwd)
stage=$(mktemp -d "$dist/.stage.XXXXXX")
trap 'rm -rf "$stage"' EXIT
rm -f "$dist/$linux_name.tar.gz" "$dist/$windows_name.zip" "$dist/$sums"

# The folder NAME/ of an archive, from one build folder.
install_tree() {
  cmake --install "$1" --prefix "$stage/$2" --component programs --strip >/dev/null
  cmake --install "$1" --prefix "$stage/$2" --component package >/dev/null
  find "$stage/$2" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
  chmod -R u+rwX,go+rX,go-w "$stage/$2"
}

install_tree "$linux_build" "$linux_name"
tar -C "$stage" --sort=name --owner=0 --group=0 --numeric-owner --format=gnu \
  -cf - "$linux_name" | gzip -n -9 >"$dist/$linux_name.tar.gz"

install_tree "$windows_build" "$windows_name"
(cd "$stage" && find "$windows_name" | LC_ALL=C sort | zip -q -X -9 "$dist/$windows_name.zip" -@)

(cd "$dist" && sha256sum "$linux_name.tar.gz" "$windows_name.zip" >"$sums")
for file in "$linux_name.tar.gz" "$windows_name.zip" "$sums"; do
  echo "$dist/$file ($(wc -c <"$dist/$file") bytes)"
done
