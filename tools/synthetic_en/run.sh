#!/usr/bin/env bash
# The whole recipe of models/synthetic-en, in stages that skip what is already done:
#   0 packages   1-4 data (prepare.py)   5 training   6 export   7 export check   8 worker figures
#
#   tools/synthetic_en/run.sh [--stage N] [--stop-stage N]
# Data and checkpoints go to build/synthetic-en (DATA=...), the model to models/synthetic-en.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
stage=0
stop_stage=8
while [ $# -gt 0 ]; do
  case "$1" in
    --stage) stage=$2; shift 2 ;;
    --stop-stage) stop_stage=$2; shift 2 ;;
    *) echo "run.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
data=${DATA:-$root/build/synthetic-en}
exp=$data/exp
model=${MODEL:-$root/models/synthetic-en}
budget=${TIME_BUDGET:-80}
py=/usr/bin/python3
recipe=$root/tools/synthetic_en
run() { [ "$stage" -le "$1" ] && [ "$stop_stage" -ge "$1" ]; }

if run 0; then bash "$root/scripts/setup_training.sh"; fi
if [ "$stage" -le 4 ] && [ "$stop_stage" -ge 1 ]; then
  first=$(( stage > 1 ? stage : 1 )); last=$(( stop_stage < 4 ? stop_stage : 4 ))
  nice -n 5 $py "$recipe/prepare.py" --data "$data" --stage "$first" --stop-stage "$last"
fi
if run 5; then
  mkdir -p "$exp"
  nice -n 5 $py "$recipe/train.py" --data "$data" --exp "$exp" --time-budget "$budget" \
    2>&1 | tee -a "$exp/train.log"
fi
if run 6; then $py "$recipe/export.py" --data "$data" --checkpoint "$exp/last.pt" --out "$model"; fi
if run 7; then
  $py "$recipe/check_export.py" --data "$data" --checkpoint "$exp/last.pt" --model "$model" \
    --count 100 | tee "$exp/check_export.log" \
    || echo "run.sh: the library and PyTorch differ on some utterances (see above)" >&2
fi
if run 8; then
  [ -x "$root/build/linux/transcribe-worker" ] || bash "$root/scripts/build.sh" linux
  $py "$recipe/evaluate_worker.py" --data "$data" --model "$model" \
    --worker "$root/build/linux/transcribe-worker" --out "$exp/worker" | tee "$exp/worker.log"
fi
