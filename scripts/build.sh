#!/usr/bin/env bash
# Builds one configuration into build/<name>: linux, windows, asan (ASan+UBSan), tsan or fuzz
# (clang's libFuzzer); all of it, or only the targets named after it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
preset=${1:?usage: scripts/build.sh linux|windows|asan|tsan|fuzz [target...]}
shift
cd "$root"
[ -d third_party/sherpa-onnx-linux-x64 ] || bash scripts/setup.sh
cmake --preset "$preset" >/dev/null
cmake --build "build/$preset" -j "${TW_JOBS:-$(nproc)}" ${1:+--target "$@"}
