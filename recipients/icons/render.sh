#!/bin/sh
# Regenerates the editor's PNGs from the hand-written SVGs in src/ (same style as app/icons).
# Development-time tool only: the build uses the committed PNGs.
# Needs rsvg-convert (Debian: apt-get install librsvg2-bin).
set -eu
cd "$(dirname "$0")"
command -v rsvg-convert >/dev/null 2>&1 || {
  echo "render.sh: rsvg-convert not found (apt-get install librsvg2-bin)" >&2
  exit 1
}

render() { # svg size out
  rsvg-convert --width "$2" --height "$2" --format png "src/$1.svg" --output "$3"
}

# Toolbar icons: 24 px, plus 48 px for high-density screens.
for name in new load save insertrow removerow saveas copy paste clearlist \
            insertpath duplicate viewfile importcsv help quit; do
  render "$name" 24 "$name.png"
  render "$name" 48 "$name@2x.png"
done

# The sort arrows in the headings: 16 px, plus 32 px.
for name in arrowdown arrowup; do
  render "$name" 16 "$name.png"
  render "$name" 32 "$name@2x.png"
done
