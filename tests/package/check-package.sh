#!/usr/bin/env bash
# Builds the Debian package from a finished build tree into a folder of its own, then checks
# it as an installer would see it: its files, its dependencies, a binary that runs, lintian.
set -euo pipefail
build="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
deb="$(ls "$work"/out/kovra-control_*.deb)"
echo "package: $(basename "$deb")"

contents="$(dpkg-deb --contents "$deb" | awk '{print $6}')"
missing=0
for path in \
    ./usr/bin/kovra-control \
    ./usr/share/applications/org.kovracontrol.KovraControl.desktop \
    ./usr/share/icons/hicolor/scalable/apps/org.kovracontrol.KovraControl.svg \
    ./usr/share/icons/hicolor/48x48/apps/org.kovracontrol.KovraControl.png \
    ./usr/share/icons/hicolor/128x128/apps/org.kovracontrol.KovraControl.png \
    ./usr/share/icons/hicolor/256x256/apps/org.kovracontrol.KovraControl.png \
    ./usr/share/metainfo/org.kovracontrol.KovraControl.metainfo.xml \
    ./usr/lib/systemd/user/kovra-control-headless.service \
    ./usr/share/man/man1/kovra-control.1.gz \
    ./usr/share/doc/kovra-control/copyright; do
    if ! grep -qxF "$path" <<<"$contents"; then
        echo "missing from the package: $path"
        missing=1
    fi
done
[ "$missing" -eq 0 ] || exit 1

depends="$(dpkg-deb --field "$deb" Depends)"
echo "depends: $depends"
# dpkg-shlibdeps names the Qt libraries the binary links; a hand-written list would not.
grep -q 'libqt6widgets6' <<<"$depends" || { echo "Depends lacks the computed Qt libraries"; exit 1; }
grep -q 'qt6-qpa-plugins' <<<"$depends" || { echo "Depends lacks the platform plugins"; exit 1; }
[ "$(dpkg-deb --field "$deb" Section)" = video ] || { echo "wrong section"; exit 1; }

dpkg-deb -x "$deb" "$work/root"
version="$("$work/root/usr/bin/kovra-control" --version)"
echo "version: $version"
grep -q "1\.1\.0" <<<"$version" || { echo "the unpacked binary does not print its version"; exit 1; }

lintian_output="$(lintian --tag-display-limit 0 --info "$deb" 2>&1 || true)"
echo "$lintian_output"
if grep -q '^E: ' <<<"$lintian_output"; then
    echo "lintian reports errors"
    exit 1
fi
