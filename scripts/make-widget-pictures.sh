#!/usr/bin/env bash
# Draws the program's own pictures with ImageMagick: the flow animation "Eth_v" of the
# line windows (20 frames, 32 x 32, looping) and the pictures of the main window's
# toolbar and of the About window. The results are committed; run this again only to
# change a picture.
# Usage: scripts/make-widget-pictures.sh
set -euo pipefail
cd "$(dirname "$0")/.."

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# --- "Eth_v": grain falling in a stream out of a chute ------------------------------
# Three columns of grains, 8 pixels apart; each frame moves them 1.6 pixels down, so
# after 20 frames they have moved 32 pixels (four grain spacings) and the loop closes
# without a jump.
frames=()
for f in $(seq 0 19); do
  draw=()
  # the chute's mouth at the top
  draw+=(-fill '#505050' -stroke none -draw "rectangle 6,0 25,5")
  draw+=(-fill '#a0a0a0' -draw "rectangle 7,0 24,3")
  for col in 0 1 2; do
    x=$((10 + col * 6))
    phase=$(( (col * 3) % 8 ))
    for k in $(seq -5 3); do
      y=$(awk -v f="$f" -v k="$k" -v p="$phase" 'BEGIN { printf "%d", 6 + p + k * 8 + f * 1.6 }')
      [ "$y" -lt 8 ] && continue
      [ "$y" -gt 29 ] && continue
      # grains wobble a little sideways, alternately
      dx=$(( (k + col) % 2 == 0 ? -1 : 1 ))
      gx=$((x + dx))
      draw+=(-fill '#7a4a00' -draw "rectangle $((gx - 2)),$((y - 2)) $((gx + 2)),$((y + 2))")
      draw+=(-fill '#f0c040' -draw "rectangle $((gx - 1)),$((y - 1)) $((gx + 1)),$((y + 1))")
    done
  done
  out=$(printf '%s/eth_%02d.png' "$tmp" "$f")
  convert -size 32x32 xc:none +antialias "${draw[@]}" "$out"
  frames+=("$out")
done
# 3/100 s per frame; the widget plays it at 90 % speed, 33 ms a frame: 30 frames a second.
convert -dispose Background -delay 3 -loop 0 "${frames[@]}" line/eth_v.gif

# --- toolbar pictures, 32 x 32 ------------------------------------------------------
for n in 1 2 3 4; do
  # a hopper (body, funnel, damper) with the line's number beside it
  convert -size 32x32 xc:none +antialias -stroke black -strokewidth 1 -fill '#00e0e0' \
    -draw "rectangle 1,3 18,14" -draw "polygon 1,16 18,16 12,25 7,25" \
    -fill "#404040" -draw "rectangle 7,27 12,28" \
    -antialias -stroke none -fill '#0000c0' -font DejaVu-Sans-Bold -pointsize 18 \
    -gravity SouthEast -annotate +0-2 "$n" "app/icons/line$n.png"
done

# line composition: a list of slots and a pencil
convert -size 32x32 xc:none +antialias -stroke black -strokewidth 1 \
  -fill white -draw "rectangle 2,3 22,28" \
  -fill '#00b0b0' -draw "rectangle 5,7 8,9" -draw "rectangle 5,13 8,15" -draw "rectangle 5,19 8,21" \
  -stroke '#505050' -draw "line 11,8 19,8" -draw "line 11,14 19,14" -draw "line 11,20 19,20" \
  -antialias -stroke black -fill '#f0c020' -draw "polygon 29,8 31,10 19,26 16,27 17,24" \
  -fill '#e08080' -draw "polygon 29,8 31,10 30,11 28,9" \
  app/icons/editline.png

# communication parameters: a nine-pin connector and its cable
convert -size 32x32 xc:none -antialias -stroke black -strokewidth 1 \
  -fill '#b0b0b0' -draw "polygon 2,9 30,9 26,21 6,21" \
  -fill '#303030' -stroke none \
  -draw "circle 8,13 9,13" -draw "circle 12,13 13,13" -draw "circle 16,13 17,13" \
  -draw "circle 20,13 21,13" -draw "circle 24,13 25,13" \
  -draw "circle 10,17 11,17" -draw "circle 14,17 15,17" -draw "circle 18,17 19,17" \
  -draw "circle 22,17 23,17" \
  -fill '#404040' -draw "rectangle 14,21 18,25" \
  -stroke '#2040c0' -strokewidth 3 -fill none -draw "bezier 16,25 16,30 26,28 30,31" \
  app/icons/comport.png

# About: an information sign
convert -size 32x32 xc:none -antialias -stroke '#103080' -strokewidth 1 \
  -fill '#3060d0' -draw "circle 16,16 16,2" \
  -stroke none -fill white -draw "circle 16,9 16,7" -draw "roundrectangle 14,13 18,25 1,1" \
  app/icons/about.png

# silence: a loudspeaker struck out
convert -size 32x32 xc:none -antialias -stroke black -strokewidth 1 \
  -fill '#606060' -draw "polygon 3,12 9,12 17,5 17,27 9,20 3,20" \
  -stroke '#e00000' -strokewidth 3 -draw "line 20,10 29,22" -draw "line 29,10 20,22" \
  app/icons/nosound.png

# report: a sheet with a bar chart of the booked weight
convert -size 32x32 xc:none -antialias -stroke black -strokewidth 1 \
  -fill white -draw "rectangle 4,2 27,29" \
  -stroke none -fill '#2a7fc0' -draw "rectangle 8,19 11,26" -draw "rectangle 14,12 17,26" \
  -fill '#e8b840' -draw "rectangle 20,7 23,26" \
  -stroke '#404040' -strokewidth 1 -draw "line 7,27 25,27" \
  app/icons/report.png

# About window picture, 64 x 64: the hopper at twice the size, grain in it
convert -size 64x64 xc:none +antialias -stroke black -strokewidth 1 \
  -fill '#00e0e0' -draw "rectangle 8,4 56,30" \
  -draw "polygon 8,34 56,34 40,54 24,54" \
  -fill '#404040' -draw "rectangle 24,57 40,60" \
  -fill '#e8b840' -stroke '#8a5a10' -draw "rectangle 10,18 54,28" \
  -antialias -stroke none -fill '#0000c0' -font DejaVu-Sans-Bold -pointsize 11 \
  -draw "text 13,15 '0.0'" \
  app/icons/about-picture.png

echo "pictures written: line/eth_v.gif app/icons/*.png"
