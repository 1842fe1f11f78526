#!/usr/bin/env bash
# Installs what is missing, builds the system and runs every test:
#   1. the normal build (core, tests, benchmarks) and all its tests;
#   2. the core's tests under AddressSanitizer and UndefinedBehaviorSanitizer;
#   3. the threaded tests (label "threads") under ThreadSanitizer.
# Exits non-zero on the first failure.
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  liblcms2-dev libjpeg62-turbo-dev libtiff-dev
)

install_missing_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "== installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

JOBS=${JOBS:-$(nproc)}

build_and_test() {
  local dir=$1; shift
  local ctest_args=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do ctest_args+=("$1"); shift; done
  [ "${1:-}" = "--" ] && shift
  echo "== configure $dir"
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  echo "== build $dir"
  cmake --build "$dir" -j "$JOBS"
  echo "== test $dir"
  (cd "$dir" && ctest --output-on-failure -j "$JOBS" "${ctest_args[@]}")
}

install_missing_packages

build_and_test build/release --timeout 600 --
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  build_and_test build/asan --timeout 900 -- -DLUMITRA_SANITIZE=address -DCMAKE_BUILD_TYPE=Debug
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  build_and_test build/tsan -L threads --timeout 900 -- -DLUMITRA_SANITIZE=thread -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "== all tests passed"
