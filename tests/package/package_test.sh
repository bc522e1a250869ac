#!/usr/bin/env bash
# The release files as users get them. Builds both with tools/package.sh into OUTDIR,
# lints the Debian package, its desktop entry and its AppStream metainfo, checks the
# zip's contents, then installs the package, starts the installed program, scans through
# its form, quits it with Escape and removes the package again. As root, with no vantrell
# package already installed, it installs for real through apt; otherwise it unpacks into
# a throwaway root.
# usage: package_test.sh SOURCE_DIR OUTDIR
set -euo pipefail
root=$(realpath "$1")
out=$(realpath "$2")
installed=false
source "$root/tests/ui/harness.sh"
on_exit() {
    [ "$installed" = false ] || apt-get -o DPkg::Lock::Timeout=300 purge -y -qq vantrell >/dev/null 2>&1
}
trap 'exit 143' TERM INT

rm -f "$out"/vantrell_*.deb "$out"/Vantrell-*-win64.zip
"$root/tools/package.sh" "$out" all
version=$(sed -n 's/^project(Vantrell VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
app_id=$(sed -n 's/^set(VANTRELL_APP_ID \([^)]*\))$/\1/p' "$root/CMakeLists.txt")
[ -n "$app_id" ] || fail "no VANTRELL_APP_ID in CMakeLists.txt"
deb=$(echo "$out"/vantrell_"$version"_*.deb)
zip=$out/Vantrell-$version-win64.zip
[ -f "$deb" ] || fail "no Debian package for version $version in $out"
[ -f "$zip" ] || fail "no $zip"

# The Debian package: lintian finds nothing to warn about, and every file is in place.
echo "lintian -I --pedantic:"
lintian -I --pedantic --fail-on error,warning "$deb" || fail "lintian: errors or warnings above"
# It brings the font family the form is laid out in, and Wayland's platform where it can.
family=$(sed -n 's/.*QFont font(QStringLiteral("\([^"]*\)"));.*/\1/p' "$root/ui/qt/DialogLayout.cpp")
font_package=$(dpkg-query -S "$(fc-match -f '%{file}' "$family")" | cut -d: -f1)
depends=$(dpkg-deb -f "$deb" Depends)
[ -n "$family" ] && grep -qw "$font_package" <<<"$depends" ||
    fail "the package does not depend on $font_package, which has the layout's \"$family\": $depends"
grep -qw qt6-wayland <<<"$depends, $(dpkg-deb -f "$deb" Recommends)" ||
    fail "the package neither depends on nor recommends qt6-wayland"
dpkg-deb -c "$deb" | awk '{ $1=$2=$3=$4=$5=""; sub(/^ +\.\//, ""); print }' >"$work/contents"
expected=(usr/bin/vantrell "usr/share/applications/$app_id.desktop" "usr/share/metainfo/$app_id.metainfo.xml"
          usr/share/man/man1/vantrell.1.gz
          usr/share/doc/vantrell/copyright "usr/share/doc/vantrell/Open in Google Earth.kml"
          usr/share/icons/hicolor/scalable/apps/vantrell.svg)
for size in 16 22 24 32 48 64 128 256; do
    expected+=("usr/share/icons/hicolor/${size}x${size}/apps/vantrell.png")
done
for path in "${expected[@]}"; do
    grep -qxF "$path" "$work/contents" || fail "the package lacks /$path"
done
dpkg-deb -x "$deb" "$work/unpacked"
desktop-file-validate "$work/unpacked/usr/share/applications/$app_id.desktop" ||
    fail "desktop-file-validate refused the entry"
# Offline; a warning fails it too. It also requires the metainfo's file name to be its
# <id> and the desktop entry it launches to be in the tree.
appstreamcli validate-tree --no-net --explain "$work/unpacked" ||
    fail "appstreamcli refused the AppStream metainfo"
cmp -s "$work/unpacked/usr/share/doc/vantrell/Open in Google Earth.kml" "$root/res/Open in Google Earth.kml" ||
    fail "the package's link file differs from res/"
man -l "$work/unpacked/usr/share/man/man1/vantrell.1.gz" 2>&1 >/dev/null | grep . &&
    fail "man reports problems in vantrell(1)"

# The zip: three files, the text with CR LF line ends, the link file as in the source.
names=$(unzip -Z1 "$zip" | sort | paste -sd '|')
[ "$names" = "Open in Google Earth.kml|README.txt|Vantrell.exe" ] || fail "the zip holds $names"
unzip -q "$zip" -d "$work/zip"
readme=$work/zip/README.txt
lines=$(tr -cd '\n' <"$readme" | wc -c)
crlf=$(grep -c $'\r$' "$readme" || true)
crs=$(tr -cd '\r' <"$readme" | wc -c)
[ "$lines" -gt 0 ] && [ "$crlf" -eq "$lines" ] && [ "$crs" -eq "$lines" ] && [ "$(tail -c 1 "$readme")" = "" ] ||
    fail "README.txt: $lines lines, $crlf ending in CR LF, $crs CRs"
cmp -s "$work/zip/Open in Google Earth.kml" "$root/res/Open in Google Earth.kml" ||
    fail "the zip's link file differs from res/"
[ "$(head -c 2 "$work/zip/Vantrell.exe")" = MZ ] || fail "Vantrell.exe is no Windows executable"

# Installed, started, used and removed.
if [ "$(id -u)" -eq 0 ] && ! dpkg-query -W -f='${Status}' vantrell 2>/dev/null | grep -q 'ok installed'; then
    installed=true
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 install -y -qq --no-install-recommends "$deb" >"$work/apt.log" 2>&1 ||
        { cat "$work/apt.log" >&2; fail "apt-get could not install $deb"; }
    program=$(command -v vantrell) || fail "no vantrell on PATH after installing"
    [ "$program" = /usr/bin/vantrell ] || fail "vantrell runs from $program"
    how="installed with apt-get, removed with apt-get purge"
else
    program=$work/unpacked/usr/bin/vantrell
    how="unpacked into a throwaway root (not root, or vantrell already installed)"
fi

start_xvfb
export QT_QPA_PLATFORM=xcb
mkdir "$work/run"
cd "$work/run"
"$program" & pid=$!
window=$(wait_for_window "$pid") || fail "the installed program showed no window"
[ -n "$window" ] || fail "the installed program showed no window"
# On X11 the desktop matches the window to its entry by class, the entry being named otherwise.
class=$(sed -n 's/^StartupWMClass=//p' "$work/unpacked/usr/share/applications/$app_id.desktop")
xprop -id "$window" WM_CLASS | grep -q "= \"$class\", \"$class\"\$" ||
    fail "the window's class is $(xprop -id "$window" WM_CLASS), not the entry's \"$class\""
start_full_speed_scan "$window"
xdotool key Escape
wait_for_exit "$pid" 500 || fail "still running 5 s after Escape"
[ "$exit_status" -eq 0 ] || fail "exit status $exit_status"
check_file_left_whole "the installed program"
cd "$root"

if [ "$installed" = true ]; then
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 purge -y -qq vantrell >"$work/apt.log" 2>&1 ||
        { cat "$work/apt.log" >&2; fail "apt-get could not remove vantrell"; }
    installed=false
    [ ! -e /usr/bin/vantrell ] && [ ! -e /usr/share/doc/vantrell ] &&
        [ ! -e "/usr/share/applications/$app_id.desktop" ] &&
        [ ! -e "/usr/share/metainfo/$app_id.metainfo.xml" ] || fail "files left after purging"
fi
echo "package: $(stat -c %s "$deb") bytes $(basename "$deb"), $(stat -c %s "$zip") bytes $(basename "$zip");" \
     "$how; window seen, a scan written, Escape ended it with status 0"
