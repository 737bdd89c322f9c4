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
  libutf8proc-dev dpkg-dev
  espeak-ng flite sox  # the speech model's tests and the demo speak English
  slurmctld slurmd slurm-client munge  # the Slurm test starts a one-node cluster of its own
  mono-mcs mono-runtime  # the C# reference host's tests
)
# npm comes with the machine's Node.js where there is one; Debian's own otherwise. Node.js also
# runs the Node reference host's tests.
command -v npm >/dev/null 2>&1 || packages+=(npm)
command -v node >/dev/null 2>&1 || packages+=(nodejs)

# Debian's source packages too, for the libraries the Windows build compiles itself.
sources_list=/etc/apt/sources.list.d/debian-bookworm-src.sources
if [ ! -f "$sources_list" ]; then
  cat > "$sources_list" <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  apt-get update -qq
fi

source "$root/scripts/install_packages.sh"
install_packages setup "${packages[@]}"

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

# Debian source packages, pinned: every file checked against its recorded sha256, then unpacked
# with Debian's patches into third_party/NAME-UPSTREAM_VERSION for CMake to compile.
lock="$root/scripts/debian_sources.lock"
for spec in $(awk '!/^#/ && NF == 3 { print $1 }' "$lock" | sort -u); do
  name=${spec%=*}
  version=${spec#*=}
  dest="$third_party/$name-${version%-*}"
  expected=$(awk -v s="$spec" '$1 == s { print $3 "  " $2 }' "$lock")
  [ -f "$dest/.verified" ] && [ "$(cat "$dest/.verified")" = "$expected" ] && continue
  work=$(mktemp -d)
  chmod 755 "$work"  # apt's download user writes there
  (cd "$work" && apt-get source -qq --download-only "$spec" >/dev/null)
  if ! (cd "$work" && echo "$expected" | sha256sum --check --quiet --strict); then
    echo "setup: $spec does not match its recorded sha256" >&2
    rm -rf "$work"; exit 1
  fi
  rm -rf "$dest"
  dpkg-source --no-check -x "$work/$name"_*.dsc "$dest" >/dev/null
  rm -f "$third_party/$name"_*.orig.tar.*  # the copy dpkg-source leaves beside the tree
  echo "$expected" > "$dest/.verified"
  rm -rf "$work"
  echo "setup: $spec unpacked into ${dest#$root/}"
done
