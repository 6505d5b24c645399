#!/usr/bin/env bash
# Makes the small x264 encodes whose parameter sets the H.264 syntax tests
# parse: one frame each, different sizes (some needing cropping), levels,
# profiles and VUI colour settings. Next to each movie goes what ffprobe
# reports about its video stream, the reference the tests compare with.
#   tests/data/parameter_sets/<name>.mov      the encode (QuickTime, avcC inside)
#   tests/data/parameter_sets/<name>.ffprobe  what ffprobe -show_streams says of the video stream
# Run from anywhere; needs ffmpeg with libx264.
set -euo pipefail
out="$(cd "$(dirname "$0")" && pwd)/parameter_sets"
mkdir -p "$out"

# encode NAME WIDTHxHEIGHT PROFILE LEVEL X264_PARAMS [FFMPEG_OPTIONS...]
encode() {
  local name=$1 size=$2 profile=$3 level=$4 params=$5
  shift 5
  ffmpeg -nostdin -hide_banner -loglevel error -y \
    -f lavfi -i "color=c=0x808080:s=${size}:r=25" -frames:v 1 \
    -c:v libx264 -profile:v "$profile" -level:v "$level" -preset veryfast \
    ${params:+-x264-params "$params"} "$@" \
    -movflags +write_colr+write_gama -f mov "$out/$name.mov"
  ffprobe -v error -select_streams v:0 -of default=noprint_wrappers=1 \
    -show_entries stream=profile,level,width,height,coded_width,coded_height,color_range,color_space,color_transfer,color_primaries,field_order \
    "$out/$name.mov" >"$out/$name.ffprobe"
}

# Served: Baseline or Main with CAVLC.
encode baseline_176x144_l12 176x144 baseline 1.2 ""
encode baseline_1920x1080_l40 1920x1080 baseline 4.0 ""
encode baseline_100x60_l11 100x60 baseline 1.1 "colorprim=smpte170m:transfer=bt709:colormatrix=bt470bg"
encode main_1280x720_l31_bt709 1280x720 main 3.1 "cabac=0:colorprim=bt709:transfer=bt709:colormatrix=bt709"
encode main_322x242_l21_fullrange 322x242 main 2.1 "cabac=0:colorprim=bt470bg:transfer=smpte170m:colormatrix=smpte170m:fullrange=on"
encode main_640x360_l30_bt2020 640x360 main 3.0 "cabac=0:colorprim=bt2020:transfer=bt2020-10:colormatrix=bt2020nc:fullrange=off"

# Colour only in the sample description: 'colr' and 'gama' extensions, none in the VUI.
encode baseline_176x144_colr_gama22 176x144 baseline 1.2 "colorprim=undef:transfer=undef:colormatrix=undef" \
  -color_primaries bt470bg -color_trc gamma22 -colorspace bt470bg
encode baseline_176x144_colr_gama28 176x144 baseline 1.2 "colorprim=undef:transfer=undef:colormatrix=undef" \
  -color_primaries bt470bg -color_trc gamma28 -colorspace bt470bg

# Refused: CABAC, High profile, interlaced coding.
encode main_cabac_320x240 320x240 main 2.0 ""
encode high_320x240 320x240 high 2.0 ""
encode main_interlaced_320x240 320x240 main 2.0 "cabac=0:interlaced=1"
