#!/bin/sh
# Regenerates every PNG in this folder from the hand-written SVGs in src/.
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

# Toolbar and status icons: 24 px, plus 48 px for high-density screens.
for name in recipients savesettings startmailing stopmailing checkonline \
            testmail clearfields copytext opentext defaulttext savetext \
            language about help update quit connect disconnect sendingoptions; do
  render "$name" 24 "$name.png"
  render "$name" 48 "$name@2x.png"
done

# Menu flags: 16 px, plus 32 px.
for name in flag_de flag_en; do
  render "$name" 16 "$name.png"
  render "$name" 32 "$name@2x.png"
done

# Application icon: small sizes come from the 16 px drawing, the rest from the large one.
render tarnel_16 16 tarnel_16.png
render tarnel_16 32 tarnel_32.png
for size in 48 64 128 256; do
  render tarnel "$size" "tarnel_$size.png"
done
