#!/usr/bin/env bash
# The main job, end to end: set up, build, speak a few English sentences with espeak-ng (a voice
# the speech model never heard in training) into a video, transcribe it with transcribe-worker and
# the speech model in models/synthetic-en, show the words it heard with their times and its word
# error rate, make the subtitles with transcribe-subtitles and draw one of them on a frame of the
# video (a PNG beside the output).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
bash scripts/build.sh linux

demo=$root/build/linux/demo
model=models/synthetic-en
mkdir -p "$demo"
# Three sentences the model was not trained on (its held-out test sentences).
head -n 3 "$model/test-sentences.txt" > "$demo/spoken.txt"
sed 's/$/./' "$demo/spoken.txt" |
  espeak-ng -v en-us+f2 -s 150 -p 40 -w "$demo/speech.wav" --stdin
echo "spoken by espeak-ng (voice en-us+f2):"
sed 's/^/  /' "$demo/spoken.txt"
# A video of it: a plain picture with the speech as its AAC sound track, a second of silence
# before it.
ffmpeg -loglevel error -y -f lavfi -i color=c=0x1d2b3a:s=640x360:r=10 \
  -i "$demo/speech.wav" -filter_complex "[1:a]adelay=1000,apad=pad_dur=1[a]" -map 0:v -map "[a]" \
  -shortest -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -b:a 64k "$demo/sample.mp4"

echo
echo "transcribing $demo/sample.mp4 (H.264 video, AAC sound) with the speech model:"
echo "\$ build/linux/transcribe-worker --model $model --ffmpeg /usr/bin/ffmpeg $demo/sample.mp4"
build/linux/transcribe-worker --model "$model" --ffmpeg /usr/bin/ffmpeg "$demo/sample.mp4" |
  tee "$demo/sample.jsonl" | /usr/bin/python3 scripts/show_records.py "$demo/spoken.txt"

echo
echo "its subtitles, the first cues:"
echo "\$ build/linux/transcribe-subtitles --format srt --output $demo/sample.srt $demo/sample.jsonl"
build/linux/transcribe-subtitles --format srt --output "$demo/sample.srt" "$demo/sample.jsonl"
head -n 8 "$demo/sample.srt" | sed 's/^/  /'

# A frame inside the first cue, with the subtitle drawn by ffmpeg's own subtitles filter (libass).
at=$(/usr/bin/python3 -c 'import json,sys
words = [w for l in open(sys.argv[1]) for w in json.loads(l).get("words", [])]
print("%.2f" % (words[1]["start"] if len(words) > 1 else 1.5))' "$demo/sample.jsonl")
(cd "$demo" && ffmpeg -loglevel error -y -i sample.mp4 -ss "$at" \
  -vf "subtitles=sample.srt:force_style='FontName=DejaVu Sans,FontSize=22'" -frames:v 1 \
  sample-frame.png)
echo "a frame at $at s with its subtitle: $demo/sample-frame.png"
