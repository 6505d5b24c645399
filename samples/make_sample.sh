#!/bin/sh
# Makes samples/sample.mov: a 3-second camera-layout movie, 320x240 H.264
# Baseline at 15 frames a second with 16-bit stereo PCM at 16 kHz, from
# ffmpeg's test sources, written by the test support's movie writer.
# Usage: samples/make_sample.sh [BUILD_DIR]   (default: build)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
cmake --build "$build" --target write_sample_movie >/dev/null
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
ffmpeg -v error -f lavfi -i testsrc2=size=320x240:rate=15:duration=3 \
    -c:v libx264 -profile:v baseline -preset medium -crf 30 -g 30 -bf 0 -pix_fmt yuv420p \
    -x264-params keyint=30:min-keyint=30:scenecut=0 -bsf:v h264_mp4toannexb -f h264 "$tmp/video.h264"
ffmpeg -v error -f lavfi -i "sine=frequency=440:sample_rate=16000:duration=3" \
    -f lavfi -i "sine=frequency=660:sample_rate=16000:duration=3" \
    -filter_complex "[0][1]amerge=inputs=2" -f s16le -ac 2 -ar 16000 "$tmp/sound.pcm"
"$build/bin/write_sample_movie" "$tmp/video.h264" 320 240 15 "$tmp/sound.pcm" 2 16000 "$root/samples/sample.mov.tmp"
mv "$root/samples/sample.mov.tmp" "$root/samples/sample.mov"
ls -l "$root/samples/sample.mov"
