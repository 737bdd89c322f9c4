#!/usr/bin/env bash
# Transcribes many media files with GNU parallel, on this machine or several: for each input the
# worker's records (NAME.jsonl) and the chosen subtitle formats (NAME.srt, ...) in the output
# folder. Each output is written under a temporary name and renamed when complete, so a rerun
# skips the files whose outputs all exist and an interrupted run leaves no half file. A failed
# file leaves NAME.error with the worker's error line; the summary lists it and the status is 1.
set -euo pipefail

usage() {
  cat <<'USAGE'
usage: scripts/transcribe-many.sh --model DIR --ffmpeg PATH [--out DIR] [--formats LIST]
                                  [--jobs N] [--sshloginfile FILE] [--bin DIR] FILE_OR_LIST...
  --out DIR            output folder (default: transcripts)
  --formats LIST       comma-separated, of jsonl srt vtt txt json (default: jsonl,srt,vtt,txt)
  --jobs N             workers side by side on each machine (default: 1)
  --sshloginfile FILE  GNU parallel's list of machines (":" is this one)
  --bin DIR            folder with transcribe-worker and transcribe-subtitles
                       (default: build/linux of this repository)
  FILE_OR_LIST         a media file, or a list of them (a file ending in .list or .txt, one
                       path a line, relative to the current folder; blank lines and lines
                       starting with # are skipped)
USAGE
}

die() {
  echo "transcribe-many: $*" >&2
  exit 2
}

absolute() { case "$1" in /*) echo "$1" ;; *) echo "$PWD/$1" ;; esac; }
output_name() {  # the media file's name without its extension
  local name
  name=$(basename -- "$1")
  echo "${name%.*}"
}

root=$(cd "$(dirname "$0")/.." && pwd)
model="" ffmpeg="" out=transcripts formats=jsonl,srt,vtt,txt jobs=1 sshloginfile=""
bin=$root/build/linux
args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --model | --ffmpeg | --out | --formats | --jobs | --sshloginfile | --bin)
      [ $# -ge 2 ] || die "$1 needs a value"
      case "$1" in
        --model) model=$2 ;;
        --ffmpeg) ffmpeg=$2 ;;
        --out) out=$2 ;;
        --formats) formats=$2 ;;
        --jobs) jobs=$2 ;;
        --sshloginfile) sshloginfile=$(absolute "$2") ;;
        --bin) bin=$2 ;;
      esac
      shift 2 ;;
    -h | --help) usage; exit 0 ;;
    -*) die "unknown option $1" ;;
    *) args+=("$1"); shift ;;
  esac
done
[ -n "$model" ] || die "--model is required"
[ -n "$ffmpeg" ] || die "--ffmpeg is required"
[ ${#args[@]} -gt 0 ] || die "no media files given"
[[ "$jobs" =~ ^[1-9][0-9]*$ ]] || die "--jobs must be a whole number of at least 1"
for program in transcribe-worker transcribe-subtitles; do
  [ -x "$bin/$program" ] || die "$bin/$program is missing (build it, or name its folder with --bin)"
done
IFS=, read -r -a format_list <<<"$formats"
[ ${#format_list[@]} -gt 0 ] || die "--formats names no format"
for format in "${format_list[@]}"; do
  case "$format" in jsonl | srt | vtt | txt | json) ;; *) die "unknown format $format" ;; esac
done

media=()
for arg in "${args[@]}"; do
  case "$arg" in
    *.list | *.txt)
      [ -f "$arg" ] || die "no list $arg"
      while IFS= read -r line || [ -n "$line" ]; do
        case "$line" in '' | '#'*) continue ;; esac
        media+=("$(absolute "$line")")
      done <"$arg" ;;
    *) media+=("$(absolute "$arg")") ;;
  esac
done

mkdir -p "$out"
out=$(cd "$out" && pwd)
bin=$(absolute "$bin") model=$(absolute "$model")
case "$ffmpeg" in */*) ffmpeg=$(absolute "$ffmpeg") ;; esac

is_complete() {  # whether every output of the file named $1 is in place
  local format
  for format in "${format_list[@]}"; do [ -f "$out/$1.$format" ] || return 1; done
}

# The outputs are named after the media file without its extension; two inputs may not share one.
declare -A seen=()
todo=() done_count=0
for file in "${media[@]}"; do
  name=$(output_name "$file")
  [ -z "${seen[$name]:-}" ] || die "$file and ${seen[$name]} would both write $out/$name.*"
  seen[$name]=$file
  if is_complete "$name"; then done_count=$((done_count + 1)); else todo+=("$file"); fi
done

# One file, run by parallel on whichever machine it chose; everything it needs is in its
# environment. Status 0 when every output is in place.
transcribe_one() {
  local file=$1 name error_text status=0
  name=$(basename -- "$file")
  name=${name%.*}
  # Leftovers of an interrupted run go first; this job's own go when it ends, however it ends.
  rm -f "$out/$name.error" "$out/$name".part.*
  part=$out/$name.part.$$  # not local: the exit trap reads it after the function returned
  trap 'rm -f "$part".*' EXIT
  trap 'exit 143' TERM INT HUP
  "$bin/transcribe-worker" --model "$model" --ffmpeg "$ffmpeg" "$file" \
    >"$part.jsonl" 2>"$part.stderr" || status=$?
  if [ $status = 0 ]; then
    for format in $formats_words; do
      [ "$format" = jsonl ] && continue
      "$bin/transcribe-subtitles" --format "$format" --output "$part.$format" "$part.jsonl" \
        2>>"$part.stderr" || { status=$?; break; }
    done
  fi
  if [ $status = 0 ]; then
    for format in $formats_words; do mv -f "$part.$format" "$out/$name.$format"; done
  else
    # The error line is the last "error: " line to the end (a decoder's output can span lines);
    # without one, the program ended abnormally and its standard error says why.
    error_text=$(awk '/^error: /{text=""; keep=1} keep{text=text $0 "\n"} END{printf "%s", text}' \
      "$part.stderr")
    [ -n "$error_text" ] || error_text="exit status $status: $(tail -n 3 "$part.stderr")"
    printf '%s\n' "$error_text" >"$part.error"
    mv -f "$part.error" "$out/$name.error"
  fi
  return $status
}
export -f transcribe_one
export out bin model ffmpeg formats_words="${format_list[*]}"

echo "transcribe-many: ${#media[@]} files, $done_count already done, ${#todo[@]} to transcribe" \
  "into $out"
if [ ${#todo[@]} -gt 0 ]; then
  list=$(mktemp)
  trap 'rm -f "$list"' EXIT
  printf '%s\0' "${todo[@]}" >"$list"
  options=(--will-cite --null --arg-file "$list" --jobs "$jobs" --halt never)
  [ -z "$sshloginfile" ] || options+=(--sshloginfile "$sshloginfile"
    --env transcribe_one --env out --env bin --env model --env ffmpeg --env formats_words)
  [ -t 2 ] && options+=(--bar)
  parallel "${options[@]}" transcribe_one '{}' || true
fi

# What became of each file: complete, failed (its .error), or not finished (interrupted).
transcribed=0 failed=() unfinished=()
for file in "${todo[@]}"; do
  name=$(output_name "$file")
  if [ -f "$out/$name.error" ]; then
    failed+=("$file")
  elif is_complete "$name"; then
    transcribed=$((transcribed + 1))
  else
    unfinished+=("$file")
  fi
done
echo "transcribe-many: $transcribed transcribed, $done_count already done, ${#failed[@]} failed," \
  "${#unfinished[@]} not finished"
for file in "${failed[@]}"; do
  echo "  failed: $file: $(cat "$out/$(output_name "$file").error")"
done
for file in "${unfinished[@]}"; do echo "  not finished: $file"; done
[ ${#failed[@]} = 0 ] && [ ${#unfinished[@]} = 0 ]
