#!/bin/sh
# Regenerates every exported image in resources/ from the SVG drawings here.
# Needs rsvg-convert (librsvg2-bin) and ImageMagick 6 (convert). The output
# carries no timestamps, so running it twice gives identical files.
set -eu

src=$(cd "$(dirname "$0")" && pwd)
out=$(dirname "$src")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Keep PNG and JPEG free of dates and other metadata that would change every run.
nodates="-strip -define png:exclude-chunks=date,time"

icon() { # icon <svg name> <size>
    rsvg-convert -w "$2" -h "$2" "$src/$1.svg" -o "$tmp/$1.png"
    convert "$tmp/$1.png" -colors 16 $nodates "PNG8:$out/icons/$1.png"
}

picture() { # picture <svg name>
    rsvg-convert -w 139 -h 240 -b white "$src/$1.svg" -o "$tmp/$1.png"
    convert "$tmp/$1.png" -strip -sampling-factor 4:4:4 -quality 90 "$out/pictures/$1.jpg"
}

mkdir -p "$out/icons" "$out/pictures"
icon form1-32 32
icon form1-16 16
icon adddata-32 32
icon adddata-16 16
# The program file's icon on Windows, made of the lookup window's two sizes.
convert "$out/icons/form1-16.png" "$out/icons/form1-32.png" "$out/icons/plimora.ico"
picture picture1
picture picture2

# The desktop icons, in the hicolor layout the desktop entry's Icon= names. The
# 16 px one comes from the 16 px drawing; rsvg-convert writes no dates.
desktop="$out/desktop/icons/hicolor"
id=org.plimora.Plimora
for size in 16 22 24 32 48 64 128 256; do
    drawing=form1-32
    if [ "$size" -eq 16 ]; then
        drawing=form1-16
    fi
    mkdir -p "$desktop/${size}x${size}/apps"
    rsvg-convert -w "$size" -h "$size" "$src/$drawing.svg" -o "$desktop/${size}x${size}/apps/$id.png"
done
mkdir -p "$desktop/scalable/apps"
cp "$src/form1-32.svg" "$desktop/scalable/apps/$id.svg"
