#!/usr/bin/env bash
# Renders the icon's PNG sizes from org.vorda.Vorda.svg into hicolor/.
# The PNGs are committed, so that no build needs a renderer; run this again
# (it needs rsvg-convert from librsvg2-bin) after changing the SVG.
set -euo pipefail
cd "$(dirname "$0")"
for n in 16 22 24 32 48 64 128 256; do
    mkdir -p "hicolor/${n}x${n}/apps"
    rsvg-convert -w "$n" -h "$n" org.vorda.Vorda.svg -o "hicolor/${n}x${n}/apps/org.vorda.Vorda.png"
done
