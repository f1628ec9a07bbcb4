#!/usr/bin/env bash
# Makes the README's pictures of the windows again: starts a virtual X display
# (Xvfb), runs the program's windows on it with a list of sample pictures and
# a conversion, and takes each window with ImageMagick's `import`, into docs/:
# principal.png (main window), progresso.png (progress window) and
# dialogo_abrir.png (the picture-open dialog, in Portuguese).
#   scripts/screenshots.sh [BUILD_DIR]     (default: build)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
cmake --build "$build" --target quillora_screenshots

work=$(mktemp -d /tmp/exemplo.XXXXXX)
xvfb_pid=
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# A few pictures to list, an output folder, and settings of their own.
mkdir -p "$work/fotos" "$work/convertidas" "$work/config/Quillora"
for name in paisagem praia montanha jardim ponte farol; do
    cp "$top/samples/paisagem.bmp" "$work/fotos/$name.bmp"
done
cat > "$work/config/Quillora/Config.reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Quillora\\Config]
"DirSalvar"="$work/convertidas"
"DirBuscar"="$work/fotos"
REG

# The first free display number from :90 on.
display=90
while [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp &
xvfb_pid=$!
for _ in $(seq 50); do
    xdpyinfo -display ":$display" >/dev/null 2>&1 && break
    sleep 0.1
done

mkdir -p "$top/docs"
DISPLAY=":$display" QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$work/config" LANG=C.UTF-8 \
    "$build/quillora_screenshots" "$top/docs" "$work"/fotos/*.bmp
