#!/usr/bin/env bash
# Renders the page's app icons (PNG, as installers want them) from the
# program's icon and from maskable.svg into web/site/, with rsvg-convert
# (librsvg2-bin), and shrinks them to a palette with pngquant. Run after
# changing either; the PNGs are kept in the repository.
set -euo pipefail
here=$(dirname "$0")
site=$here/../site
rsvg-convert -w 192 -h 192 "$here/../../packaging/de.zwp_konverter.ZwpKonverter.svg" -o "$site/icon-192.png"
rsvg-convert -w 512 -h 512 "$here/maskable.svg" -o "$site/icon-maskable-512.png"
pngquant --force --strip --quality 80-100 --ext .png 32 "$site/icon-192.png" "$site/icon-maskable-512.png"
