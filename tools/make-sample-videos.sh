#!/usr/bin/env bash
# Makes the demo portal's sample videos with GStreamer: short WMV clips with a
# moving test picture, a running clock (so every frame differs) and a tone.
#   tools/make-sample-videos.sh [FOLDER]     (default: build/videos)
# A clip that is already there is kept, so a second run is quick.
#   SAMPLE_SECONDS   length of each clip (default 20)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/videos}
seconds=${SAMPLE_SECONDS:-20}
fps=25
rate=44100
samples_per_buffer=441  # 10 ms of sound per buffer

command -v gst-launch-1.0 >/dev/null || { echo "gst-launch-1.0 is missing (gstreamer1.0-tools)" >&2; exit 1; }
for element in avenc_wmv2 avenc_wmav2 asfmux timeoverlay; do
  gst-inspect-1.0 "$element" >/dev/null 2>&1 || { echo "GStreamer element $element is missing" >&2; exit 1; }
done
mkdir -p "$out"

# make_clip FILE PATTERN FREQUENCY
make_clip() {
  local file=$out/$1 pattern=$2 freq=$3
  [ -s "$file" ] && return 0
  local part=$file.part
  # asfmux takes timestamps from the encoders; without single-segment they
  # are off and the picture never shows.
  gst-launch-1.0 -q \
    videotestsrc pattern="$pattern" horizontal-speed=2 num-buffers=$((seconds * fps)) \
      ! "video/x-raw,width=320,height=240,framerate=$fps/1" \
      ! timeoverlay font-desc="Sans 20" ! videoconvert \
      ! avenc_wmv2 ! identity single-segment=true ! asfmux name=mux ! filesink location="$part" \
    audiotestsrc wave=sine freq="$freq" samplesperbuffer=$samples_per_buffer \
      num-buffers=$((seconds * rate / samples_per_buffer)) \
      ! "audio/x-raw,rate=$rate,channels=2" ! audioconvert \
      ! avenc_wmav2 ! identity single-segment=true ! mux.
  mv "$part" "$file"
  echo "made $file"
}

make_clip "sample-ball.wmv" ball 440
make_clip "sample-smpte.wmv" smpte 660
make_clip "sample-pinwheel.wmv" pinwheel 330
