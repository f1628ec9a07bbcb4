#!/usr/bin/env bash
# Checks the desktop package of a build: the desktop entry and the AppStream
# metainfo against their validators, the manual page against man's warnings,
# then builds the .deb with cpack and checks what it installs.
#   scripts/check_package.sh [BUILD_DIR]     (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

echo "-- desktop-file-validate assets/quillora.desktop"
hints=$(desktop-file-validate assets/quillora.desktop 2>&1) || { echo "$hints"; exit 1; }
# It passes entries with hints too: a clean entry prints nothing.
if [ -n "$hints" ]; then echo "$hints"; exit 1; fi
echo "(no error, no hint)"

echo "-- appstreamcli validate --no-net --strict assets/app.quillora.quillora.metainfo.xml"
appstreamcli validate --no-net --strict assets/app.quillora.quillora.metainfo.xml

echo "-- man --warnings docs/quillora-convert.1"
warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
    man --warnings -E UTF-8 -l -Tutf8 -Z docs/quillora-convert.1 2>&1 >/dev/null)
if [ -n "$warnings" ]; then echo "$warnings"; exit 1; fi
echo "(no warning)"

echo "-- cpack -G DEB"
rm -f "$build"/quillora_*.deb
log=$( (cd "$build" && cpack -G DEB) 2>&1) || { echo "$log"; exit 1; }
deb=$(ls "$build"/quillora_*.deb)
listing=$(dpkg-deb -c "$deb")
status=0
for path in usr/bin/quillora usr/bin/quillora-convert usr/bin/ajuda_quillora.chm \
    usr/share/applications/quillora.desktop \
    usr/share/icons/hicolor/scalable/apps/quillora.svg \
    usr/share/icons/hicolor/48x48/apps/quillora.png \
    usr/share/icons/hicolor/256x256/apps/quillora.png \
    usr/share/metainfo/app.quillora.quillora.metainfo.xml \
    usr/share/man/man1/quillora-convert.1; do
    grep -q " \./$path\$" <<<"$listing" || { echo "missing from $deb: /$path"; status=1; }
done
for size in 48 256; do
    file "$build/icons/${size}x${size}/quillora.png" | grep -q "PNG image data, $size x $size" ||
        { echo "icon ${size}x${size} is not a ${size}x${size} PNG"; status=1; }
done
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libqt6dbus6 libqt6svg6 libjpeg62-turbo libpng16-16; do
    grep -q "$library" <<<"$depends" || { echo "$deb does not depend on $library"; status=1; }
done
echo "$(basename "$deb"): Depends: $depends"
exit $status
