#!/usr/bin/env bash
# Builds the Debian package of Feedrail in build/package/ (the package
# preset: optimised, installed under /usr), checks that it holds what an
# installed Feedrail needs and that its programs answer --help, and prints
# its name. Install it with: sudo apt-get install ./build/package/feedrail_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-debian.sh dpkg-dev file
cmake --preset package
cmake --build --preset package
rm -f build/package/feedrail_*.deb
(cd build/package && cpack -G DEB >/dev/null)
deb=$(ls build/package/feedrail_*.deb)

expected=(
    usr/bin/feedrail usr/bin/feedrail-tape usr/bin/feedrail-machine usr/bin/feedrail-dnc
    usr/lib/systemd/user/feedrail-dnc.service
    usr/share/applications/org.feedrail.Feedrail.desktop
    usr/share/icons/hicolor/scalable/apps/org.feedrail.Feedrail.svg
    usr/share/metainfo/org.feedrail.Feedrail.metainfo.xml
    usr/share/man/man1/feedrail.1 usr/share/man/man1/feedrail-tape.1
    usr/share/man/man1/feedrail-machine.1 usr/share/man/man1/feedrail-dnc.1
    usr/share/feedrail/feedrail-help.html
    usr/share/feedrail/examples/DNC.ini usr/share/feedrail/examples/DNCUtilities.ini
)
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
for path in "${expected[@]}"; do
    [ -f "$unpacked/$path" ] || { echo "$deb lacks /$path" >&2; exit 1; }
done
grep -q "^DefaultDir=/usr/share/feedrail/examples/$" "$unpacked/usr/share/feedrail/examples/DNC.ini" ||
    { echo "the example mill's folder is not the installed examples folder" >&2; exit 1; }
for program in feedrail feedrail-tape feedrail-machine feedrail-dnc; do
    "$unpacked/usr/bin/$program" --help | grep -q "^usage: $program " ||
        { echo "$program --help gives no usage" >&2; exit 1; }
done
grep -q "^ExecStart=/usr/bin/feedrail-dnc$" "$unpacked/usr/lib/systemd/user/feedrail-dnc.service" ||
    { echo "the service unit does not start the installed feedrail-dnc" >&2; exit 1; }
echo "$deb"
