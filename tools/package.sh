#!/usr/bin/env bash
# Builds the release files into OUTDIR: the Debian package of the Linux program
# (vantrell_<version>_<arch>.deb) and Vantrell-<version>-win64.zip.
#   package.sh OUTDIR [deb|zip|all]
# The Debian package is built with dpkg-buildpackage in a copy of the source tree under
# OUTDIR, so the checkout stays clean. The zip takes build/windows/ui/win32/Vantrell.exe
# (VANTRELL_WINDOWS_EXE overrides it), cross-building it first when it is missing.
set -euo pipefail

out=${1:?usage: package.sh OUTDIR [deb|zip|all]}
what=${2:-all}
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$out"
out=$(cd "$out" && pwd)

version=$(sed -n 's/^project(Vantrell VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[ -n "$version" ] || { echo "package.sh: no project VERSION in CMakeLists.txt" >&2; exit 1; }
deb_version=$(dpkg-parsechangelog -l "$root/debian/changelog" -SVersion)
if [ "$deb_version" != "$version" ]; then
    echo "package.sh: debian/changelog says $deb_version, CMakeLists.txt says $version" >&2
    exit 1
fi
# Files in both packages carry the release's date, so a rebuild gives the same bytes.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(dpkg-parsechangelog -l "$root/debian/changelog" -STimestamp)}

build_deb() {
    local work=$out/deb-work
    local tree=$work/vantrell-$version
    rm -rf "$work"
    mkdir -p "$tree"
    tar -C "$root" --exclude=./build --exclude=./.git --exclude='./Vantrell.kml*' -cf - . |
        tar -C "$tree" -xf -
    local arch
    arch=$(dpkg-architecture -qDEB_HOST_ARCH)
    echo "Building vantrell_${version}_${arch}.deb (log: $out/vantrell-deb-build.log)"
    if ! (cd "$tree" && DEB_BUILD_OPTIONS="nocheck noddebs parallel=${VANTRELL_JOBS:-2}" \
            dpkg-buildpackage -us -uc -b >"$work/build.log" 2>&1); then
        tail -n 40 "$work/build.log" >&2
        echo "package.sh: dpkg-buildpackage failed; the whole log is $work/build.log" >&2
        exit 1
    fi
    mv -f "$work/vantrell_${version}_${arch}.deb" "$out/"
    mv -f "$work/build.log" "$out/vantrell-deb-build.log"
    rm -rf "$work"
}

build_zip() {
    local exe=${VANTRELL_WINDOWS_EXE:-$root/build/windows/ui/win32/Vantrell.exe}
    if [ ! -f "$exe" ] && [ -z "${VANTRELL_WINDOWS_EXE:-}" ]; then
        (cd "$root" && cmake --preset windows >/dev/null && cmake --build --preset windows --target Vantrell)
    fi
    [ -f "$exe" ] || { echo "package.sh: $exe is missing" >&2; exit 1; }
    local stage=$out/zip-stage
    local zip=$out/Vantrell-$version-win64.zip
    rm -rf "$stage" "$zip"
    mkdir -p "$stage"
    cp "$exe" "$stage/Vantrell.exe"
    # Notepad before Windows 10 shows LF-only text as one line.
    sed 's/\r$//; s/$/\r/' "$root/docs/README-windows.txt" >"$stage/README.txt"
    cp "$root/res/Open in Google Earth.kml" "$stage/"
    touch -d "@$SOURCE_DATE_EPOCH" "$stage"/*
    (cd "$stage" && TZ=UTC zip -q -X -D "$zip" Vantrell.exe README.txt "Open in Google Earth.kml")
    rm -rf "$stage"
    echo "Built $zip"
}

case $what in
deb) build_deb ;;
zip) build_zip ;;
all) build_deb; build_zip ;;
*) echo "usage: package.sh OUTDIR [deb|zip|all]" >&2; exit 2 ;;
esac
