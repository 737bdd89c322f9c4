#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine, as root.
# Safe to run again: packages already present and tarballs already checked are kept.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
third_party="$root/third_party"

packages=(
  build-essential cmake ninja-build pkg-config clang-format
  googletest libgtest-dev libbenchmark-dev nlohmann-json3-dev unicode-data
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
  wine64 ffmpeg
  python3 python3-onnx python3-numpy python3-pytest openssl
  clang-19 libclang-rt-19-dev parallel fonts-dejavu-core
  zip python3-pefile
)
# npm comes with the machine's Node.js where there is one; Debian's own otherwise. Node.js also
# runs the Node reference host's tests.
command -v npm >/dev/null 2>&1 || packages+=(npm)
command -v node >/dev/null 2>&1 || packages+=(nodejs)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Prebuilt binaries from the npm registry, each checked against the integrity recorded in the repository.
mkdir -p "$third_party"
while read -r spec integrity; do
  case "$spec" in ''|'#'*) continue ;; esac
  name=${spec%@*}
  dest="$third_party/${name//\//-}"
  dest=${dest//@/}
  [ -f "$dest/.verified" ] && grep -qxF "$integrity" "$dest/.verified" && continue
  work=$(mktemp -d)
  (cd "$work" && npm pack --silent "$spec" >/dev/null)
  tarball=$(ls "$work"/*.tgz)
  actual="sha512-$(openssl dgst -sha512 -binary "$tarball" | base64 -w0)"
  if [ "$actual" != "$integrity" ]; then
    echo "setup: $spec does not match its recorded integrity ($actual)" >&2
    rm -rf "$work"; exit 1
  fi
  rm -rf "$dest"; mkdir -p "$dest"
  tar -xzf "$tarball" -C "$dest" --strip-components=1
  echo "$integrity" > "$dest/.verified"
  rm -rf "$work"
  echo "setup: $spec unpacked into ${dest#$root/}"
done < "$root/scripts/third_party.lock"
