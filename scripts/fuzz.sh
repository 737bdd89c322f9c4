#!/usr/bin/env bash
# Builds the fuzz targets (preset fuzz: clang 19, libFuzzer, ASan+UBSan) and runs each one for
# SECONDS, two at a time, starting from its seeds in fuzz/corpus/<target>/ (only read). New corpus
# entries, the input of anything found and the logs go into a work folder, one subfolder per
# target. Exits non-zero when a target crashed, leaked, hung, failed one of its checks or got a
# sanitizer report; the input that did it is then in WORK/<target>/ (crash-*, leak-*, timeout-*).
#
#   scripts/fuzz.sh SECONDS [TARGET...]     every target when none is named
#   TW_FUZZ_WORK=DIR                        the work folder (default build/fuzz-work)
#   TW_FUZZ_JOBS=N                          targets run at once (default 2)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:?usage: scripts/fuzz.sh SECONDS [TARGET...]}
shift
cd "$root"
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in fuzz/*.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi
work=${TW_FUZZ_WORK:-$root/build/fuzz-work}
bash scripts/build.sh fuzz || exit 1

# Runs one target and prints one line: its executions and its corpus at the end.
fuzz_one() {
  local target=$1
  local dir=$work/$target
  mkdir -p "$dir/corpus"
  local began=$SECONDS
  # A unit running 30 s is a hang; the first corpus folder is the one libFuzzer adds to.
  "$root/build/fuzz/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=30 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$dir/" \
    "$dir/corpus" "$root/fuzz/corpus/$target" >"$dir/log" 2>&1
  local status=$?
  local runs corpus
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log")
  corpus=$(grep -o 'corp: [0-9]*/[0-9]*[a-zA-Z]*' "$dir/log" | tail -n 1)
  printf '%-22s %12s executions in %4s s, %s (inputs/bytes)\n' "$target" "${runs:-?}" \
    "$((SECONDS - began))" "${corpus:-corp: ?}"
  if [ $status -ne 0 ]; then
    echo "$target: FAILED with status $status; log: $dir/log"
    grep -E -m 8 'ERROR|SUMMARY|fatal internal failure|runtime error|Test unit written' "$dir/log"
  fi
  return $status
}
export -f fuzz_one
export root work seconds

parallel --will-cite --jobs "${TW_FUZZ_JOBS:-2}" --line-buffer fuzz_one ::: "${targets[@]}"
