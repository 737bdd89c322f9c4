#!/usr/bin/env bash
# Builds one configuration into build/<name>: linux, windows, asan (ASan+UBSan) or tsan.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
preset=${1:?usage: scripts/build.sh linux|windows|asan|tsan}
cd "$root"
[ -d third_party/sherpa-onnx-linux-x64 ] || bash scripts/setup.sh
cmake --preset "$preset" >/dev/null
cmake --build "build/$preset" -j "${TW_JOBS:-$(nproc)}"
