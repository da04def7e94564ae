#!/bin/sh
# Renders the progress card's background picture data/card.jpg (500 x 249) from data/card.svg.
# Needs rsvg-convert (librsvg2-bin) and Python 3 with PIL (python3-pil). The JPEG is committed,
# so the build itself does not run this.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
rsvg-convert -w 500 -h 249 "$here/card.svg" -o "$tmp/card.png"
/usr/bin/python3 - "$tmp/card.png" "$here/card.jpg" <<'PY'
import sys
from PIL import Image
img = Image.open(sys.argv[1]).convert("RGB")
assert img.size == (500, 249), img.size
img.save(sys.argv[2], "JPEG", quality=92, optimize=True, progressive=False, subsampling=0)
PY
echo "wrote $here/card.jpg"
