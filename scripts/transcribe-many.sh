#!/usr/bin/env bash
# Transcribes many media files with GNU parallel, on this machine or several: for each input the
# worker's records (NAME.jsonl) and the chosen subtitle formats (NAME.srt, ...) in the output
# folder, and NAME.source, what they were made from. Every output is made in a hidden work folder
# of the run and moved into place once all of the file's are complete, the record last, so a rerun
# skips the files whose record still matches and an interrupted run leaves no half file. A failed
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

normalized() { realpath -m -s -- "$1"; }  # absolute, without . and .. (symbolic links are kept)
output_name() {                          # the media file's name without its extension
  local name
  name=$(basename -- "$1")
  echo "${name%.*}"
}

# What the outputs of the media file $1 are made from, as NAME.source records it.
describe_source() {
  printf 'media %s\nmodel %s\n' "$1" "$model"
  stat -L -c $'size %s\nmodified %.9Y' -- "$1"
}
recorded_media() { sed -n '1s/^media //p' "$out/$1.source" 2>/dev/null || true; }

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
        --sshloginfile) sshloginfile=$(normalized "$2") ;;
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
        media+=("$(normalized "$line")")
      done <"$arg" ;;
    *) media+=("$(normalized "$arg")") ;;
  esac
done

# A stop (TERM, INT, HUP) is passed on to parallel, which ends its jobs; the run then ends with
# its summary (a stop before parallel started leaves every file to transcribe not finished).
stopping="" parallel_pid=""
stop() {
  stopping=1
  [ -z "$parallel_pid" ] || kill -TERM "$parallel_pid" 2>/dev/null || true
}
trap stop TERM INT HUP

mkdir -p "$out"
out=$(cd "$out" && pwd)
bin=$(normalized "$bin") model=$(normalized "$model")
case "$ffmpeg" in */*) ffmpeg=$(normalized "$ffmpeg") ;; esac

# Whether every output of the media file $1, named $2, is in place and made from it as it is now.
is_complete() {
  local format
  [ -f "$out/$2.source" ] || return 1
  [ "$(cat -- "$out/$2.source")" = "$(describe_source "$1" 2>/dev/null)" ] || return 1
  for format in "${format_list[@]}"; do [ -f "$out/$2.$format" ] || return 1; done
}

# The outputs are named after the media file without its extension: two inputs may not share one,
# in this run or with the outputs of an earlier run in the same folder.
declare -A seen=()
todo=() done_count=0
for file in "${media[@]}"; do
  name=$(output_name "$file")
  [ -n "$name" ] || die "$file has no name before its extension to name its outputs after"
  [ -z "${seen[$name]:-}" ] || die "$file and ${seen[$name]} would both write $out/$name.*"
  seen[$name]=$file
  made_from=$(recorded_media "$name")
  [ -z "$made_from" ] || [ "$made_from" = "$file" ] ||
    die "$file would replace the outputs of $made_from, $out/$name.* (use another --out," \
      "or remove them first)"
  if is_complete "$file" "$name"; then done_count=$((done_count + 1)); else todo+=("$file"); fi
done

# The functions below run as parallel's jobs, on whichever machine it chose; everything they need
# is in their environment.

# Copies standard input into the file $1; when that fails, prints "cannot write $2: REASON", $2
# being the output that the file becomes.
write_output() {
  local reason status=0
  reason=$(cat 2>&1 >"$1") || status=$?
  [ $status != 0 ] || return 0
  echo "cannot write $2: ${reason##*: }"
  return $status
}

# Runs a command with its standard output into the work folder's file $1, which becomes the
# output $2. Prints what the command said on standard error and any write failure; fails when
# either failed (a job's shell has its own options).
produce() {
  local file=$1 output=$2 -
  set -o pipefail
  shift 2
  { "$@" 2>&3 3>&- | write_output "$file" "$output"; } 3>&1
}

# Why a command failed, from what it said ($1) and its status ($2): a failed write, else the error
# line (the last "error: " line to the end, since a decoder's output can span lines), else the end
# of what a program said before it ended abnormally.
failure_reason() {
  local text
  if text=$(grep -m 1 '^cannot write ' <<<"$1"); then echo "$text"; return; fi
  text=$(awk '/^error: /{text=""; keep=1} keep{text=text $0 "\n"} END{printf "%s", text}' <<<"$1")
  [ -n "$text" ] || text="exit status $2: $(tail -n 3 <<<"$1")"
  echo "$text"
}

# Makes every output of the media file $1 and their record $2 in the work folder, named $3.
# On failure prints why.
make_outputs() {
  local file=$1 source=$2 name=$3 said format status=0
  said=$(produce "$work/$name.jsonl" "$out/$name.jsonl" \
    "$bin/transcribe-worker" --model "$model" --ffmpeg "$ffmpeg" "$file") || status=$?
  for format in $formats_words; do
    [ $status = 0 ] || break
    [ "$format" != jsonl ] || continue
    said=$(produce "$work/$name.$format" "$out/$name.$format" \
      "$bin/transcribe-subtitles" --format "$format" "$work/$name.jsonl") || status=$?
  done
  [ $status != 0 ] ||
    said=$(produce "$work/$name.source" "$out/$name.source" printf '%s\n' "$source") || status=$?
  [ $status = 0 ] || failure_reason "$said" $status
  return $status
}

# Moves the outputs named $1 from the work folder into place, their record last. The outputs of
# another source (a changed media file, another model) go first, their record before them, so
# that a record in place always describes every output beside it.
install_outputs() {
  local name=$1 format
  if [ -f "$out/$name.source" ] && ! cmp -s -- "$work/$name.source" "$out/$name.source"; then
    rm -f -- "$out/$name.source"
    for format in jsonl srt vtt txt json; do rm -f -- "$out/$name.$format"; done
  fi
  for format in $formats_words; do mv -f -- "$work/$name.$format" "$out/$name.$format"; done
  mv -f -- "$work/$name.source" "$out/$name.source"
}

# Says why the media file $1, named $2, failed ($3): on standard error, and in NAME.error unless
# that cannot be written either.
report_failure() {
  echo "transcribe-many: failed: $1: $3" >&2
  { printf '%s\n' "$3" >"$work/$2.error" && mv -f -- "$work/$2.error" "$out/$2.error"; } 2>/dev/null
}

# One media file; status 0 when every output is in place.
transcribe_one() {
  local file=$1 name source said status=0
  name=$(output_name "$file")
  rm -f -- "$out/$name.error"
  source=$(describe_source "$file" 2>/dev/null) || true  # as the file is before it is read
  said=$(make_outputs "$file" "$source" "$name") || status=$?
  [ $status != 0 ] || said=$(install_outputs "$name" 2>&1) || status=$?
  [ $status = 0 ] || report_failure "$file" "$name" "$said" || true
  return $status
}

job_functions=(transcribe_one make_outputs install_outputs report_failure produce write_output
  failure_reason describe_source output_name)
job_variables=(out work bin model ffmpeg formats_words)
formats_words="${format_list[*]}"

# Each run works in a hidden folder of its own inside the output folder, so that no temporary name
# can be an output's name.
work=$(mktemp -d "$out/.transcribe-many.XXXXXX.work")
trap 'rm -rf -- "$work"' EXIT

# parallel runs in the background so that a stop is handled at once, not when parallel has
# ended (wait returns when a trapped signal comes). parallel ignores TERM while it starts up, so
# after a stop it is told again each second until it has ended.
run_parallel() {
  local options=(--will-cite --null --jobs "$jobs" --halt never --ungroup) name
  if [ -n "$sshloginfile" ]; then
    options+=(--sshloginfile "$sshloginfile")
    for name in "${job_functions[@]}" "${job_variables[@]}"; do options+=(--env "$name"); done
  fi
  [ -t 2 ] && options+=(--bar)
  export -f "${job_functions[@]}"
  export "${job_variables[@]}"
  printf '%s\0' "${todo[@]}" | parallel "${options[@]}" transcribe_one '{}' &
  parallel_pid=$!
  while kill -0 "$parallel_pid" 2>/dev/null; do
    if [ -n "$stopping" ]; then
      sleep 1
      kill -TERM "$parallel_pid" 2>/dev/null || true
    else
      wait "$parallel_pid" || true
    fi
  done
  parallel_pid=""
}

echo "transcribe-many: ${#media[@]} files, $done_count already done, ${#todo[@]} to transcribe" \
  "into $out"
[ ${#todo[@]} = 0 ] || [ -n "$stopping" ] || run_parallel

# What became of each file: complete, failed (its .error), or not finished (interrupted).
transcribed=0 failed=() unfinished=()
for file in "${todo[@]}"; do
  name=$(output_name "$file")
  if [ -f "$out/$name.error" ]; then
    failed+=("$file")
  elif is_complete "$file" "$name"; then
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
[ ${#failed[@]} = 0 ] && [ ${#unfinished[@]} = 0 ] && [ -z "$stopping" ]
