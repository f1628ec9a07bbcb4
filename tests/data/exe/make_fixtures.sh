#!/bin/sh
# Builds the fixture executables (needs Debian's mingw-w64 and python3).
# Run from this folder; the results are committed, the tests need no MinGW.
set -e
python3 make_icons.py
for arch in x86_64 i686; do
    case $arch in x86_64) bits=x64; sym=entry ;; i686) bits=x86; sym=_entry ;; esac
    $arch-w64-mingw32-windres icons3.rc -O coff -o icons3_$bits.res.o
    $arch-w64-mingw32-windres icon1.rc -O coff -o icon1_$bits.res.o
    flags="-Os -s -nostdlib -Wl,-e,$sym -Wl,--subsystem,windows"
    $arch-w64-mingw32-gcc $flags -o icons3_$bits.exe entry.c icons3_$bits.res.o
    $arch-w64-mingw32-gcc $flags -shared -o icon1_$bits.dll entry.c icon1_$bits.res.o
    $arch-w64-mingw32-gcc $flags -o noicons_$bits.exe entry.c
    rm -f icons3_$bits.res.o icon1_$bits.res.o
done
rm -f multi.ico png256.ico cyan48.ico pair.ico
