#!/usr/bin/env bash
# Makes the small H.264 elementary streams (Annex B) that the decoder library's
# tests decode. Needs the ffmpeg program with libx264. Run from anywhere; the
# streams land beside this script. They are committed, so this only needs to
# run again when the set of streams changes.
set -euo pipefail
cd "$(dirname "$0")"

# encode NAME SIZE FRAMES PROFILE X264PARAMS [extra ffmpeg output options...]
encode() {
  local name=$1 size=$2 frames=$3 profile=$4 params=$5
  shift 5
  ffmpeg -hide_banner -loglevel error -y \
    -f lavfi -i "testsrc2=size=${size}:rate=25" \
    -frames:v "$frames" -pix_fmt yuv420p \
    -c:v libx264 -profile:v "$profile" -preset medium -crf 30 \
    -x264-params "$params" "$@" \
    -f h264 "$name.h264"
}

# Baseline, two IDR pictures (the second in the middle), one slice per picture.
encode baseline_176x144 176x144 12 baseline "keyint=6:min-keyint=6:scenecut=0"
# Main profile restricted to what the system serves: CAVLC, no B pictures.
encode main_cavlc_320x240 320x240 10 main "cabac=0:bframes=0:keyint=5:min-keyint=5:scenecut=0"
# A size that is not a whole number of macroblocks: 208x128 coded, cropped.
encode baseline_cropped_202x118 202x118 8 baseline "keyint=50"
# Several slices per picture.
encode baseline_slices_176x144 176x144 6 baseline "slices=3:keyint=50"
# A picture smaller than one macroblock: at half and quarter size its planes
# shrink to a row or to nothing.
encode baseline_6x2 6x2 2 baseline "keyint=50"
# Video signal variants for the RGB conversions.
encode baseline_bt709_128x96 128x96 4 baseline "keyint=50:colorprim=bt709:transfer=bt709:colormatrix=bt709"
encode baseline_fullrange_128x96 128x96 4 baseline "keyint=50:fullrange=on" -color_range pc
# Non-reference B pictures (and reordering), for the deblocking skip of
# non-reference pictures.
encode main_cavlc_bframes_176x144 176x144 10 main "cabac=0:bframes=2:b-pyramid=none:keyint=50:scenecut=0"

ls -l ./*.h264
