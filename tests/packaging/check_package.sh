#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package of a configured and built tree with cpack and
# checks what a user would get from it:
#   - the file name is Debian's (vexlar_VERSION_ARCH.deb) and the package
#     depends on the shared libraries the programs use (dpkg-shlibdeps ran);
#   - every file of the table below is in it, and nothing lies outside the
#     folders a desktop application installs into;
#   - the desktop entry and the AppStream metainfo pass their validators, and
#     the application id names the metainfo, the desktop entry and the icon;
#   - the newest release of the metainfo, the package and `vexlar --version`
#     give the same version;
#   - the manual pages list every option that --help prints.
#
#   check_package.sh BUILD_DIR [OUT_DIR]     (OUT_DIR defaults to BUILD_DIR/package)
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: $0 BUILD_DIR [OUT_DIR]}" && pwd)
out=${2:-$build/package}
app_id=com.brannock.vexlar

# What the package must hold (paths as dpkg-deb lists them).
expected_files=(
    ./usr/bin/vexlar
    ./usr/bin/vexlar-capture
    ./usr/bin/vexlar-coresim
    ./usr/bin/vexlar-export
    ./usr/share/applications/$app_id.desktop
    ./usr/share/metainfo/$app_id.metainfo.xml
    ./usr/share/mime/packages/vexlar.xml
    ./usr/share/icons/hicolor/scalable/apps/$app_id.svg
    ./usr/share/icons/hicolor/scalable/mimetypes/application-x-vexlar.svg
    ./usr/share/man/man1/vexlar.1.gz
    ./usr/share/man/man1/vexlar-capture.1.gz
    ./usr/share/man/man1/vexlar-coresim.1.gz
    ./usr/share/man/man1/vexlar-export.1.gz
    ./usr/share/doc/vexlar/copyright
    ./usr/share/doc/vexlar/changelog.gz
    ./usr/lib/sysctl.d/60-vexlar-capture.conf
)
# Folders a file of the package may lie in (a test program, a header or a
# static library anywhere else is a stray install rule).
allowed_folders='^\./usr/(bin|share/(applications|metainfo|mime/packages|icons/hicolor/[^/]+/(apps|mimetypes)|man/man1|doc/vexlar)|lib/sysctl\.d)/[^/]+$'

passed=0
failed=0
pass() { echo "ok   $1"; passed=$((passed + 1)); }
fail() { echo "FAIL $1"; failed=$((failed + 1)); }
finish() {
    echo "packaging: $passed passed, $failed failed"
    [ "$failed" -eq 0 ]
    exit
}

rm -rf "$out"
mkdir -p "$out"
if ! (cd "$out" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1); then
    cat "$out/cpack.log"
    fail "cpack -G DEB"
    finish
fi

version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
arch=$(dpkg --print-architecture)
deb=$out/vexlar_${version}_${arch}.deb
debs=$(find "$out" -maxdepth 1 -name '*.deb' -printf '%f ')
if [ -n "$version" ] && [ "$debs" = "vexlar_${version}_${arch}.deb " ]; then
    pass "cpack made $(basename "$deb")"
else
    fail "cpack made '$debs', expected vexlar_${version}_${arch}.deb"
    finish
fi

# Depends as dpkg-shlibdeps writes it: the Qt, C++ and decoder libraries the programs link.
depends=$(dpkg-deb -f "$deb" Depends)
depends_names=$(sed 's/ ([^)]*)//g; s/, */\n/g' <<<"$depends")
missing=()
for library in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6printsupport6 libsigrokdecode4; do
    grep -qxF -- "$library" <<<"$depends_names" || missing+=("$library")
done
if [ ${#missing[@]} -eq 0 ]; then
    pass "Depends from shlibdeps: $depends"
else
    fail "Depends lacks ${missing[*]}: '$depends'"
fi

contents=$(dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ { print $6 }')
missing=()
for file in "${expected_files[@]}"; do
    grep -qxF -- "$file" <<<"$contents" || missing+=("$file")
done
if [ ${#missing[@]} -eq 0 ]; then
    pass "all ${#expected_files[@]} listed files are in the package"
else
    fail "the package lacks ${missing[*]}"
fi
strays=$(grep -vE "$allowed_folders" <<<"$contents")
if [ -z "$strays" ]; then
    pass "no file outside the folders of a desktop application"
else
    fail "files outside the folders of a desktop application: $(tr '\n' ' ' <<<"$strays")"
fi

root=$out/root
dpkg-deb -x "$deb" "$root"
desktop=$root/usr/share/applications/$app_id.desktop
metainfo=$root/usr/share/metainfo/$app_id.metainfo.xml

if report=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$report" ]; then
    pass "desktop-file-validate $(basename "$desktop")"
else
    fail "desktop-file-validate $(basename "$desktop"): $report"
fi
# --strict fails on every issue above the pedantic level, warnings and infos included.
if report=$(appstreamcli validate --no-net --strict "$metainfo" 2>&1); then
    pass "appstreamcli validate --no-net --strict $(basename "$metainfo")"
else
    fail "appstreamcli validate $(basename "$metainfo"): $report"
fi

metainfo_id=$(sed -n 's:.*<id>\(.*\)</id>.*:\1:p' "$metainfo")
launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")
icon=$(sed -n 's/^Icon=//p' "$desktop")
if [ "$metainfo_id" = "$app_id" ] && [ "$launchable" = "$app_id.desktop" ] && [ "$icon" = "$app_id" ] &&
    [ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ]; then
    pass "one application id: metainfo $metainfo_id, launchable $launchable, icon $icon"
else
    fail "application ids differ: metainfo '$metainfo_id', launchable '$launchable', desktop Icon '$icon'"
fi

release=$(grep -m1 -oP '<release version="\K[^"]+' "$metainfo")
program_version=$(LC_ALL=C "$root/usr/bin/vexlar" --version | grep -m1 -oE '[0-9]+(\.[0-9]+)+')
package_version=$(dpkg-deb -f "$deb" Version)
if [ "$release" = "$version" ] && [ "$program_version" = "$version" ] && [ "$package_version" = "$version" ]; then
    pass "version $version in the package, the newest metainfo release and vexlar --version"
else
    fail "versions differ: build $version, package '$package_version', metainfo '$release', vexlar --version '$program_version'"
fi

pairs=()
for program in vexlar vexlar-capture vexlar-coresim vexlar-export; do
    pairs+=("$root/usr/bin/$program" "$root/usr/share/man/man1/$program.1.gz")
done
if "$here/check_man_pages.sh" "${pairs[@]}"; then
    pass "the manual pages list every option of --help"
else
    fail "the manual pages miss options of --help"
fi
finish
