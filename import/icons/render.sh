#!/bin/sh
# Regenerates the import window's own PNGs from the SVGs in src/ (24 px, and 48 px for high-density
# screens). Development-time tool only: the build uses the committed PNGs. Needs rsvg-convert
# (Debian: apt-get install librsvg2-bin). The drawings it shares with the main window are copies of
# those in app/icons/src/, so this window's library carries all its own icons.
set -eu
cd "$(dirname "$0")"
for name in newtext importdata opentext savetext copytext help quit; do
  rsvg-convert --width 24 --height 24 --format png "src/$name.svg" --output "$name.png"
  rsvg-convert --width 48 --height 48 --format png "src/$name.svg" --output "$name@2x.png"
done
