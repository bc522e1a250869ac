#!/usr/bin/env bash
# Installs the Debian 12 packages Vantrell needs. Idempotent: when everything is present
# it fetches nothing and changes nothing.
#   install-deps.sh run    what building and running the Linux program needs
#   install-deps.sh test   all that, and what the tests, the benchmarks and the Windows
#                          program need, and the German locale the tests run under
# Installing needs root or sudo; without either it prints the command to run as root.
# VANTRELL_EXTRA_PACKAGES adds names to the list (the script's own test uses it).
set -euo pipefail

level=${1:-test}
case $level in
run | test) ;;
*) echo "usage: $0 [run|test]" >&2; exit 2 ;;
esac

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev libxcb1-dev
    # A Wayland session's native window, and the client library its title is cleared through
    qt6-wayland qt6-base-private-dev libwayland-dev
    # The font family the form is laid out in
    fonts-liberation
    # windres compiles res/Vantrell.rc, preprocessed by the host's cpp (build-essential)
    binutils-mingw-w64-x86-64
    # Area files: KMZ archives unpacked with zlib, KML and GPX parsed by the header-only
    # RapidXml (which serves the Windows build too)
    zlib1g-dev librapidxml-dev
)
if [ "$level" = test ]; then
    packages+=(
        googletest libgtest-dev libgmock-dev libbenchmark-dev locales
        # make icons renders the committed icon set from its SVG source; a test checks it
        imagemagick icoutils librsvg2-bin
        # The program driven under a virtual display, and read through AT-SPI
        xvfb xauth x11-utils xdotool openbox at-spi2-core python3-pyatspi dbus
        # A Wayland compositor with keyboard and mouse, run inside Xvfb
        weston
        # The Windows program: cross compiler, its Windows headers, and Wine to test it
        gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev libz-mingw-w64-dev
        wine wine64 fonts-wine
        # A KML reader that is not ours; the Debian package, its checks, and the zip
        libkml-dev debhelper dpkg-dev lintian desktop-file-utils appstream zip unzip
        # The fault tests watch a program's writes it cannot make, and mount a folder
        # whose rename will not replace a file
        strace fuse3 libfuse3-dev
        # make fuzz: clang with libFuzzer and the sanitizers
        clang libclang-rt-14-dev
    )
fi
# shellcheck disable=SC2206
packages+=(${VANTRELL_EXTRA_PACKAGES:-})

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$p")
done

need_locale=false
if [ "$level" = test ] && ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    need_locale=true
fi
[ ${#missing[@]} -gt 0 ] || [ "$need_locale" = true ] || exit 0

if [ "$(id -u)" -eq 0 ]; then
    as_root() { "$@"; }
elif command -v sudo >/dev/null 2>&1; then
    as_root() { sudo "$@"; }
else
    echo "Vantrell needs Debian packages that are not installed, and installing them needs root." >&2
    echo "Run this as root (su -), then try again:" >&2
    if [ ${#missing[@]} -gt 0 ]; then
        echo "    apt-get update && apt-get install -y --no-install-recommends ${missing[*]}" >&2
    fi
    if [ "$need_locale" = true ]; then
        echo "    sed -i 's/^# *\\(de_DE.UTF-8 UTF-8\\)/\\1/' /etc/locale.gen && locale-gen" >&2
    fi
    exit 1
fi

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing ${#missing[@]} packages: ${missing[*]}"
    as_root apt-get update -qq
    # What apt is about to do: how many packages in all, and how much it fetches.
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install --assume-no --no-install-recommends \
        "${missing[@]}" 2>/dev/null | grep -E 'newly installed|^Need to get|^After this operation' || true
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Tests prove that a comma-decimal locale cannot change the file we write.
if [ "$need_locale" = true ]; then
    echo "Generating the de_DE.UTF-8 locale"
    as_root sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
    as_root locale-gen >/dev/null
fi
