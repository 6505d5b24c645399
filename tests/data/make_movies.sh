#!/usr/bin/env bash
# Makes the small real movies the QuickTime reading tests load, and one
# Annex-B H.264 stream from which the test movie writer builds camera-layout
# and plain movies. Everything is generated (test pattern and sine tone), a
# few seconds at most, so the outputs stay well below 2 MB together.
#   tests/data/movies/*.mov        QuickTime movies written by ffmpeg
#   tests/data/movies/*.h264       Annex-B stream: Baseline, CAVLC, no B-frames,
#                                  an IDR every 15 frames (regular sync samples)
# Run from anywhere; needs ffmpeg with libx264. Encodes are single-threaded
# and bit-exact so that a re-run gives the same files.
set -euo pipefail
out="$(cd "$(dirname "$0")" && pwd)/movies"
mkdir -p "$out"

common=(-nostdin -hide_banner -loglevel error -y)
exact=(-map_metadata -1 -fflags +bitexact -flags:v +bitexact -flags:a +bitexact -threads 1)
served="cabac=0:bframes=0:keyint=15:min-keyint=15:scenecut=0"

# video SIZE RATE SECONDS: the lavfi test pattern as input 0.
video() { echo -f lavfi -i "testsrc2=s=$1:r=$2:d=$3"; }
# tone RATE CHANNELS SECONDS: a sine tone as input 1.
tone() { echo -f lavfi -i "sine=f=440:sample_rate=$1:d=$3" -ac "$2"; }

# Baseline + 'sowt' stereo, moov after mdat, ffmpeg's own sound packets.
ffmpeg "${common[@]}" $(video 160x120 15 2) $(tone 8000 2 2) -map 0:v -map 1:a -ac 2 \
  -c:v libx264 -profile:v baseline -preset veryfast -x264-params "$served" \
  -c:a pcm_s16le "${exact[@]}" -f mov "$out/baseline_sowt.mov"

# Main (CAVLC) + AAC without an edit list, moov before mdat, 29.97 fps.
ffmpeg "${common[@]}" $(video 160x120 30000/1001 2) $(tone 16000 1 2) -map 0:v -map 1:a \
  -c:v libx264 -profile:v main -preset veryfast -x264-params "$served" \
  -c:a aac -b:a 24k -use_editlist 0 -movflags +faststart "${exact[@]}" -f mov "$out/main_aac_faststart.mov"

# A picture size that is not a multiple of 16 (the SPS crops it), mono 'sowt'
# in packets of 3000 samples: chunks of 3000 frames and a shorter last one.
ffmpeg "${common[@]}" $(video 162x98 15 2) $(tone 8000 1 2) -map 0:v -map 1:a \
  -c:v libx264 -profile:v baseline -preset veryfast -x264-params "$served" \
  -af asetnsamples=n=3000:p=0 -c:a pcm_s16le "${exact[@]}" -f mov "$out/odd_size_sowt_3000.mov"

# One second of sound per packet (chunk), the last one shorter: 2.5 s.
ffmpeg "${common[@]}" $(video 176x144 15 2.5) $(tone 8000 1 2.5) -map 0:v -map 1:a \
  -c:v libx264 -profile:v baseline -preset veryfast -x264-params "$served" \
  -af asetnsamples=n=8000:p=0 -c:a pcm_s16le "${exact[@]}" -f mov "$out/sowt_one_second_chunks.mov"

# Video only, moov before mdat.
ffmpeg "${common[@]}" $(video 176x144 15 1) -map 0:v \
  -c:v libx264 -profile:v baseline -preset veryfast -x264-params "$served" \
  -movflags +faststart "${exact[@]}" -f mov "$out/video_only_faststart.mov"

# The Annex-B stream for the movie writer: 176x144, 15 fps, 2 s.
ffmpeg "${common[@]}" $(video 176x144 15 2) -map 0:v \
  -c:v libx264 -profile:v baseline -preset veryfast -x264-params "$served" \
  "${exact[@]}" -f h264 "$out/stream_176x144_15fps.h264"

# Sample descriptions whose size differs from the picture the SPS gives.
# Larger: 320x256 coded, the SPS cropped to 320x240 afterwards, so the
# 'avc1' description keeps 320x256.
ffmpeg "${common[@]}" $(video 320x256 15 1) -map 0:v \
  -c:v libx264 -profile:v baseline -preset veryfast -x264-params "$served" \
  -bsf:v h264_metadata=crop_bottom=16 "${exact[@]}" -f mov "$out/description_320x256_sps_320x240.mov"
# Smaller: 322x242 coded in 336x256, the SPS cropping removed afterwards, so
# the decoder writes 336-pixel rows while the description says 322.
ffmpeg "${common[@]}" $(video 322x242 15 1) -map 0:v \
  -c:v libx264 -profile:v baseline -preset veryfast -x264-params "$served" \
  -bsf:v h264_metadata=crop_right=0:crop_bottom=0 "${exact[@]}" -f mov "$out/description_322x242_sps_336x256.mov"
# 322x242: odd at half size (161x121).
ffmpeg "${common[@]}" $(video 322x242 15 1) -map 0:v \
  -c:v libx264 -profile:v baseline -preset veryfast -x264-params "$served" \
  "${exact[@]}" -f mov "$out/odd_half_322x242.mov"
