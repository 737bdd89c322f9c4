#!/usr/bin/env bash
# Builds the release packages into dist/: transcribe-worker-<version>-linux-x64.tar.gz and
# transcribe-worker-<version>-windows-x64.zip, or only those of the platforms named.
#   scripts/package.sh [linux] [windows]
# Each holds one folder of that name: the shipped programs with the speech library and ONNX
# Runtime beside them, VERSION and hosts/, the reference hosts (cmake --install), the package's
# README.md, the user documents of docs/ whole and CHANGELOG.md, LICENSE, THIRD-PARTY-NOTICES
# and SHA256SUMS over all of them. The version is the tree's release version (project() in
# CMakeLists.txt) with the commit the build was made from, 0.1.0+5a1ba4c or 0.1.0+5a1ba4c-dirty
# (cmake/write_version.cmake).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
platforms=("$@")
# The documents for those who use the programs; the others (releases, testing) are the
# repository's.
user_documents=(docs/hosts.md docs/subtitles.md docs/many-files.md docs/models.md
  docs/troubleshooting.md)
[ ${#platforms[@]} -gt 0 ] || platforms=(linux windows)

# THIRD-PARTY-NOTICES: packaging/THIRD-PARTY-NOTICES.in with the licence texts that Debian keeps
# put in its place holders; the Windows programs, linked statically, add mingw-w64's runtime and
# GCC's runtime libraries.
notices() {
  local list=/dev/null texts=/dev/null exception
  if [ "$1" = windows ]; then
    list=packaging/THIRD-PARTY-NOTICES-windows-list.in
    texts=packaging/THIRD-PARTY-NOTICES-windows-texts.in
  fi
  exception=$(mktemp)
  awk '/^GCC RUNTIME LIBRARY EXCEPTION$/,/requirements of the license of GCC\.$/' \
    /usr/share/doc/gcc-mingw-w64-base/copyright >"$exception"
  sed -e "/^@WINDOWS-RUNTIME-LIST@\$/{r $list" -e 'd}' \
    -e "/^@WINDOWS-RUNTIME-TEXTS@\$/{r $texts" -e 'd}' packaging/THIRD-PARTY-NOTICES.in |
    sed -e '/^@APACHE-2.0@$/{r /usr/share/common-licenses/Apache-2.0' -e 'd}' \
      -e '/^@MINGW-W64-COPYRIGHT@$/{r /usr/share/doc/mingw-w64-common/copyright' -e 'd}' \
      -e "/^@GCC-RUNTIME-EXCEPTION@\$/{r $exception" -e 'd}'
  rm -f "$exception"
}

for platform in "${platforms[@]}"; do
  case "$platform" in
    linux | windows) ;;
    *) echo "usage: scripts/package.sh [linux] [windows]" >&2; exit 2 ;;
  esac
  build="build/$platform"
  bash scripts/build.sh "$platform" tw_shipped_programs >/dev/null
  version=$(cat "$build/version/VERSION")
  name="transcribe-worker-$version-$platform-x64"
  staging="$build/package"
  folder="$staging/$name"
  rm -rf "$staging"
  mkdir -p "$folder" dist

  cmake --install "$build" --prefix "$folder" --strip >/dev/null
  sed "s/@VERSION@/$version/" packaging/README.md.in >"$folder/README.md"
  mkdir "$folder/docs"
  cp "${user_documents[@]}" "$folder/docs/"
  cp CHANGELOG.md LICENSE "$folder/"
  if [ "$platform" = linux ]; then  # clusters run Linux
    mkdir -p "$folder/scripts/slurm"
    cp scripts/slurm/transcribe-array.sbatch "$folder/scripts/slurm/"
  fi
  notices "$platform" >"$folder/THIRD-PARTY-NOTICES"
  (cd "$folder" && find . -type f ! -name SHA256SUMS -printf '%P\n' | LC_ALL=C sort |
    xargs -d '\n' sha256sum >SHA256SUMS)

  if [ "$platform" = windows ]; then
    archive="dist/$name.zip"
    rm -f "$archive"
    (cd "$staging" && zip -qrX9 "$root/$archive" "$name")
  else
    archive="dist/$name.tar.gz"
    tar --sort=name --owner=0 --group=0 --numeric-owner -czf "$archive" -C "$staging" "$name"
  fi
  echo "$archive"
done
