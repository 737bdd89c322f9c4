#!/usr/bin/env bash
# Installs what the speech model recipe (tools/synthetic_en) needs on a Debian 12 machine, as
# root: the synthesizers, sox, the sentence sources, SentencePiece and CPU PyTorch with OpenBLAS
# (without it Debian's PyTorch runs on the reference BLAS, about 30 times slower).
# Training is not part of the build or the tests; scripts/setup.sh does not call this.
set -euo pipefail
packages=(
  espeak-ng flite sox ffmpeg
  fortunes fortunes-min wamerican
  python3 python3-numpy python3-onnx python3-sentencepiece
  python3-torch python3-torchaudio libopenblas0-pthread
)
source "$(dirname "$0")/install_packages.sh"
install_packages setup_training "${packages[@]}"
