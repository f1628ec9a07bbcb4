#!/usr/bin/env bash
# Compares quillora-convert's JPEG-to-BMP output with what a colour-managed
# viewer shows, ImageMagick (with Little CMS) standing in for the viewer:
#   - a photo with each EXIF orientation 1-8 in both byte orders (pixels
#     that differ, and the sizes, against -auto-orient);
#   - an Adobe RGB photo (RMSE against its conversion to sRGB, and the RMSE
#     the same photo drawn without its profile would have);
#   - a CMYK photo as ImageMagick writes it (RMSE against its sRGB decode).
# Usage: bench/viewer_compare.sh [BUILD_DIR]   (default: build)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
convert_exe=$(cd "${1:-$top/build}" && pwd)/quillora-convert
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
icc=$top/tests/data/icc
mkdir out

convert rose: -resize 1200x800! photo.png
convert photo.png -quality 95 plain.jpg
convert photo.png -profile "$icc/sRGB.icc" -profile "$icc/compatibleWithAdobeRGB1998.icc" \
    -quality 95 adobe.jpg
convert photo.png -colorspace CMYK -quality 95 cmyk.jpg
python3 - <<'PY'
import struct
d = open('plain.jpg', 'rb').read()
for o in range(1, 9):
    for le in (True, False):
        e = '<' if le else '>'
        t = (b'II' if le else b'MM') + struct.pack(e + 'HI', 42, 8) + struct.pack(e + 'H', 1)
        t += struct.pack(e + 'HHIHH', 0x0112, 3, 1, o, 0) + struct.pack(e + 'I', 0)
        p = b'Exif\0\0' + t
        seg = b'\xff\xe1' + struct.pack('>H', len(p) + 2) + p
        open('turned_%d_%s.jpg' % (o, 'II' if le else 'MM'), 'wb').write(d[:2] + seg + d[2:])
PY
"$convert_exe" --mode jpg-bmp --output out --quiet ./*.jpg

wrong=0
for f in turned_*.jpg; do
    b=${f%.jpg}
    convert "$f" -auto-orient "ref_$b.png"
    ae=$(compare -metric AE "out/$b.bmp" "ref_$b.png" null: 2>&1 || true)
    [ "$ae" = 0 ] || { echo "$b: $ae pixels differ"; wrong=$((wrong + 1)); }
done
echo "orientation: $wrong of 16 differ from the viewer"
convert adobe.jpg -profile "$icc/sRGB.icc" ref_adobe.png
convert adobe.jpg +profile '*' unmanaged.png
echo "Adobe RGB, RMSE against the viewer: $(compare -metric RMSE out/adobe.bmp ref_adobe.png null: 2>&1 || true)"
echo "Adobe RGB drawn without its profile: $(compare -metric RMSE unmanaged.png ref_adobe.png null: 2>&1 || true)"
convert cmyk.jpg -colorspace sRGB ref_cmyk.png
echo "CMYK, RMSE against the viewer: $(compare -metric RMSE out/cmyk.bmp ref_cmyk.png null: 2>&1 || true)"
