#!/usr/bin/env bash
# Installs every Debian package Quillora needs to build, test and run.
#   scripts/setup.sh          build, test and fuzz tools
#   scripts/setup.sh --bench  also the tools bench/compare.sh compares against
#                             (and python3, which bench/viewer_compare.sh uses)
# Works as root or through sudo; does nothing when everything is installed.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    libjpeg62-turbo-dev libpng-dev zlib1g-dev liblcms2-dev
    libgtest-dev googletest libbenchmark-dev
    clang libclang-rt-14-dev clang-format
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev qt6-translations-l10n
    xvfb xauth x11-utils libx11-dev fonts-liberation fonts-dejavu-core fp-utils
    xdg-utils xchm parallel dbus
    desktop-file-utils appstream dpkg-dev file man-db imagemagick
)
for arg in "$@"; do
    case "$arg" in
        --bench) packages+=(libjpeg-turbo-progs libvips-tools time python3) ;;
        *) echo "usage: $0 [--bench]" >&2; exit 2 ;;
    esac
done

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
    as_root=()
elif command -v sudo >/dev/null 2>&1; then
    as_root=(sudo)
else
    echo "setup: need root or sudo to install: ${missing[*]}" >&2
    exit 1
fi
echo "setup: installing ${missing[*]}"
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
