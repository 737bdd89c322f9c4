#!/usr/bin/env bash
# Sets up if needed, builds every configuration and runs every test: the Linux build, the
# sanitizer builds' unit tests, the Windows build under wine, and the release packages made from
# the Linux and Windows builds. Exits non-zero on any failure.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh || exit 1
# setup.sh installed Slurm: as root, the Slurm test must run, not skip.
[ "$(id -u)" != 0 ] || export TW_REQUIRE_SLURM=1

failed=()
run() {  # run <label> <command...>
  local label=$1; shift
  echo "== $label"
  if ! "$@"; then failed+=("$label"); fi
}

run "build linux" bash scripts/build.sh linux
run "test linux" ctest --test-dir build/linux --output-on-failure -j 2

run "build asan" bash scripts/build.sh asan
run "test asan (unit)" env ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/asan --output-on-failure -j 2 -E '^e2e$'
# The fuzz targets (clang's libFuzzer with ASan+UBSan), 30 s each from their seeds alone.
run "build fuzz" bash scripts/build.sh fuzz
rm -rf build/fuzz-short
run "fuzz (short runs)" env TW_FUZZ_WORK="$root/build/fuzz-short" bash scripts/fuzz.sh 30
run "build tsan" bash scripts/build.sh tsan
run "test tsan (unit)" env TSAN_OPTIONS=halt_on_error=1 \
  ctest --test-dir build/tsan --output-on-failure -j 2 -E '^e2e$'

run "build windows" bash scripts/build.sh windows
source scripts/wine-prefix.sh
trap wine_prefix_stop EXIT
# Wine now and then fails to start a program at all (no output, status at once); such a test
# gets one more run. A test that fails with output of its own fails both runs.
run "test windows (wine)" ctest --test-dir build/windows --output-on-failure -j 2 \
  --repeat until-pass:2

# The release packages, each unpacked and run as a host author would (the Windows one under wine).
run "package" bash scripts/package.sh
for platform in linux windows; do
  run "test package $platform" /usr/bin/python3 -m pytest -q -p no:cacheprovider \
    tests/e2e/test_package.py --dist dist --platform "$platform" --build-dir "build/$platform" \
    --test-data "build/$platform/test-data"
done

if [ ${#failed[@]} -gt 0 ]; then
  printf 'failed: %s\n' "${failed[@]}"
  exit 1
fi
echo "all test runs passed"
