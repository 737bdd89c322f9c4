#!/usr/bin/env bash
# The main job, end to end: set up, build, generate the tone model and a tone-encoded sample in a
# video, transcribe it with transcribe-worker, show what it recovered, make its subtitles with
# transcribe-subtitles and draw one of them on a frame of the video (a PNG beside the output).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
bash scripts/build.sh linux

data=$root/build/linux/test-data
demo=$root/build/linux/demo
mkdir -p "$demo"
/usr/bin/python3 tools/make_test_data.py --out "$data"

text="the quick brown fox jumps over the lazy dog while the worker listens"
/usr/bin/python3 tools/tone_encoder.py --text "$text" --duration 50 \
  --out "$demo/sample.wav" --expected "$demo/sample.json"
# A video of it: a plain picture with the sample as its AAC sound track.
ffmpeg -loglevel error -y -f lavfi -i color=c=0x1d2b3a:s=640x360:r=10 -i "$demo/sample.wav" \
  -shortest -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -b:a 64k "$demo/sample.mp4"

echo "transcribing $demo/sample.mp4 (H.264 video, AAC sound, 50 s) with the tone model:"
echo "\$ build/linux/transcribe-worker --model $data/models/tone --ffmpeg /usr/bin/ffmpeg $demo/sample.mp4"
build/linux/transcribe-worker --model "$data/models/tone" --ffmpeg /usr/bin/ffmpeg \
  "$demo/sample.mp4" | tee "$demo/sample.jsonl" |
  /usr/bin/python3 scripts/show_records.py "$demo/sample.json"

echo
echo "its subtitles, the first cues:"
echo "\$ build/linux/transcribe-subtitles --format srt --output $demo/sample.srt $demo/sample.jsonl"
build/linux/transcribe-subtitles --format srt --output "$demo/sample.srt" "$demo/sample.jsonl"
head -n 8 "$demo/sample.srt" | sed 's/^/  /'

# A frame inside the first cue, with the subtitle drawn by ffmpeg's own subtitles filter (libass).
(cd "$demo" && ffmpeg -loglevel error -y -i sample.mp4 -ss 4 \
  -vf "subtitles=sample.srt:force_style='FontName=DejaVu Sans,FontSize=22'" -frames:v 1 \
  sample-frame.png)
echo "a frame at 4 s with its subtitle: $demo/sample-frame.png"
