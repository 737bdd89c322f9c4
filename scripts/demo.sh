#!/usr/bin/env bash
# The main job, end to end: set up, build, generate the tone model and a tone-encoded sample in a
# compressed container, transcribe it with transcribe-worker, and show what it recovered.
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
ffmpeg -loglevel error -y -i "$demo/sample.wav" -c:a libopus -b:a 48k "$demo/sample.ogg"

echo "transcribing $demo/sample.ogg (Opus, 50 s) with the tone model:"
echo "\$ build/linux/transcribe-worker --model $data/models/tone --ffmpeg /usr/bin/ffmpeg $demo/sample.ogg"
build/linux/transcribe-worker --model "$data/models/tone" --ffmpeg /usr/bin/ffmpeg \
  "$demo/sample.ogg" | /usr/bin/python3 scripts/show_records.py "$demo/sample.json"
