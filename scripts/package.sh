#!/usr/bin/env bash
# Builds the two Debian packages of Feedrail in build/package/ (the package
# preset: optimised with Debian's hardening flags, installed under /usr):
# feedrail, the window, and feedrail-dnc, the service and the tools, which
# needs no Qt. Checks that each holds what it should, that lintian finds no
# error or warning in either (its informational tags are printed), that the
# programs are hardened and answer --help and --version, and prints the two
# file names. Install them with:
#   sudo apt-get install ./build/package/feedrail_*.deb ./build/package/feedrail-dnc_*.deb
# DEBFULLNAME and DEBEMAIL name the maintainer, as for Debian's own tools.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-debian.sh dpkg-dev file binutils lintian desktop-file-utils
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
# The changelog's date is the last commit's, so a rebuild makes the same files.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}
export SOURCE_DATE_EPOCH
cmake --preset package \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)"
cmake --build --preset package
rm -f build/package/*.deb
(cd build/package && cpack -G DEB >/dev/null)
window=$(ls build/package/feedrail_*.deb)
service=$(ls build/package/feedrail-dnc_*.deb)

fail() {
    echo "$*" >&2
    exit 1
}

window_files=(
    usr/bin/feedrail
    usr/share/applications/org.feedrail.Feedrail.desktop
    usr/share/icons/hicolor/scalable/apps/org.feedrail.Feedrail.svg
    usr/share/metainfo/org.feedrail.Feedrail.metainfo.xml
    usr/share/mime/packages/org.feedrail.Feedrail.xml
    usr/share/man/man1/feedrail.1.gz
    usr/share/feedrail/feedrail-help.html
    usr/share/doc/feedrail/copyright usr/share/doc/feedrail/changelog.Debian.gz
)
service_files=(
    usr/bin/feedrail-tape usr/bin/feedrail-machine usr/bin/feedrail-dnc
    usr/lib/systemd/user/feedrail-dnc.service
    usr/share/man/man1/feedrail-tape.1.gz usr/share/man/man1/feedrail-machine.1.gz
    usr/share/man/man1/feedrail-dnc.1.gz
    usr/share/feedrail/examples/DNC.ini usr/share/feedrail/examples/DNCUtilities.ini
    usr/share/doc/feedrail-dnc/copyright usr/share/doc/feedrail-dnc/changelog.Debian.gz
)
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
for package in window service; do
    deb=${!package}
    mkdir "$unpacked/$package"
    dpkg-deb -x "$deb" "$unpacked/$package"
    declare -n files="${package}_files"
    for path in "${files[@]}"; do
        [ -f "$unpacked/$package/$path" ] || fail "$deb lacks /$path"
    done
    dpkg-deb -x "$deb" "$unpacked/both"
done
dpkg-deb -f "$service" Depends | grep -qi "qt\|feedrail" &&
    fail "feedrail-dnc depends on Qt or on the window: $(dpkg-deb -f "$service" Depends)"
dpkg-deb -f "$window" Depends | grep -q "feedrail-dnc (= $(dpkg-deb -f "$service" Version))" ||
    fail "the window does not depend on the service package of its own version"

grep -q "^DefaultDir=/usr/share/feedrail/examples/$" "$unpacked/both/usr/share/feedrail/examples/DNC.ini" ||
    fail "the example mill's folder is not the installed examples folder"
version=$(dpkg-deb -f "$service" Version)
# Each output is taken whole before it is searched: grep -q leaving a pipe
# early would fail the pipeline.
for program in feedrail feedrail-tape feedrail-machine feedrail-dnc; do
    binary="$unpacked/both/usr/bin/$program"
    usage=$("$binary" --help)
    grep -q "^usage: $program " <<<"$usage" || fail "$program --help gives no usage"
    told=$("$binary" --version)
    grep -q "^$program (Feedrail) ${version%-*}$" <<<"$told" ||
        fail "$program --version does not tell version ${version%-*}"
    grep -q "^License: GPL-3.0-or-later$" <<<"$told" || fail "$program --version does not tell the licence"
    dynamic=$(readelf -d "$binary")
    grep -q "BIND_NOW" <<<"$dynamic" || fail "$program is not linked with -z now"
    symbols=$(readelf -W --dyn-syms "$binary")
    grep -q "__stack_chk_fail" <<<"$symbols" || fail "$program is not built with the stack protector"
done
grep -q "^ExecStart=/usr/bin/feedrail-dnc$" "$unpacked/both/usr/lib/systemd/user/feedrail-dnc.service" ||
    fail "the service unit does not start the installed feedrail-dnc"
grep -q "^Exec=feedrail %F$" "$unpacked/both/usr/share/applications/org.feedrail.Feedrail.desktop" ||
    fail "the desktop entry does not hand the files it opens to feedrail"

lintian --pedantic --display-info --fail-on error,warning "$window" "$service"
echo "$window"
echo "$service"
