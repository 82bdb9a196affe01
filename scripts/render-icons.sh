#!/usr/bin/env bash
# Renders the application icon's PNG sizes from its SVG drawings into data/icons/hicolor.
# Run it after changing either drawing and commit the result: builds use the committed PNGs,
# so building needs no SVG renderer. Needs rsvg-convert (librsvg2-bin).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
icons="$root/data/icons"
id=com.quillmere.app
large="$icons/hicolor/scalable/apps/$id.svg"
# Below 32 pixels the rings of the large drawing blur into one another; the small drawing
# has fewer, wider ones.
small="$icons/$id-small.svg"
command -v rsvg-convert >/dev/null || { echo "rsvg-convert is missing (Debian: librsvg2-bin)." >&2; exit 1; }
for size in 16 22 24 32 48 64 128 256 512; do
  source=$large
  [ "$size" -lt 32 ] && source=$small
  out="$icons/hicolor/${size}x${size}/apps/$id.png"
  mkdir -p "$(dirname "$out")"
  rsvg-convert --width "$size" --height "$size" --output "$out" "$source"
done
