#!/usr/bin/env bash
# Converts the sample pictures in samples/ in all four modes with
# quillora-convert, into out/demo/, and lists what was written.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
exe=${QUILLORA_CONVERT:-$top/build/quillora-convert}
out=$top/out/demo
mkdir -p "$out"/{bmp-jpg,jpg-bmp,ico-bmp,ico-jpg}
"$exe" --mode bmp-jpg --output "$out/bmp-jpg" "$top"/samples/*.bmp
"$exe" --mode jpg-bmp --output "$out/jpg-bmp" "$top"/samples/*.jpg
"$exe" --mode ico-bmp --output "$out/ico-bmp" "$top"/samples/*.ico
"$exe" --mode ico-jpg --output "$out/ico-jpg" "$top"/samples/*.ico
echo "Written:"
(cd "$out" && ls -l */)
