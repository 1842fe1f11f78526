#!/usr/bin/env bash
# Installs what is missing, builds the system and runs every test:
#   1. the optimised build of the core, the tools and the benchmarks;
#   2. every test under AddressSanitizer and UndefinedBehaviorSanitizer;
#   3. the threaded tests (label "threads") under ThreadSanitizer;
#   4. each fuzz target for a short, bounded time (clang, libFuzzer).
# Exits non-zero on the first failure.
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev locales
  libgtest-dev libgmock-dev libbenchmark-dev
  liblcms2-dev libjpeg62-turbo-dev libtiff-dev libtiff-tools libjpeg-turbo-progs
  libpng-dev libgif-dev pngcheck python3-pil
  qt6-base-dev libqt6opengl6-dev libglu1-mesa-dev libxcb1-dev libxcb-xtest0-dev xvfb xauth openbox poppler-utils
  fonts-dejavu-core
  libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev libasound2-dev
)
JOBS=${JOBS:-$(nproc)}
FUZZ_SECONDS=${FUZZ_SECONDS:-15}

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

configure() { # dir, cmake args...
  local dir=$1; shift
  echo "== configure $dir"
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
}

build() { # dir, targets...
  local dir=$1; shift
  echo "== build $dir"
  local targets=()
  for t in "$@"; do targets+=(--target "$t"); done
  cmake --build "$dir" -j "$JOBS" "${targets[@]}"
}

TESTS_PASSED=0
run_tests() { # dir, ctest args...
  local dir=$1; shift
  echo "== test $dir"
  (cd "$dir" && ctest --output-on-failure -j "$JOBS" "$@") | tee "$dir/ctest.log"
  local total
  total=$(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$dir/ctest.log")
  TESTS_PASSED=$((TESTS_PASSED + ${total:-0}))
}

run_fuzzers() {
  local dir=build/fuzz
  local fuzzers=()
  for src in fuzz/*Fuzz.cpp; do
    [ -e "$src" ] && fuzzers+=("$(basename "$src" .cpp)")
  done
  [ ${#fuzzers[@]} -eq 0 ] && return 0
  configure "$dir" -DLUMITRA_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
  build "$dir" "${fuzzers[@]}" FuzzSeeds
  rm -rf "$dir/corpus" && "$dir/fuzz/FuzzSeeds" "$dir/corpus"
  for f in "${fuzzers[@]}"; do
    echo "== fuzz $f for ${FUZZ_SECONDS}s"
    mkdir -p "$dir/corpus/$f"
    "$dir/fuzz/$f" -max_total_time="$FUZZ_SECONDS" -rss_limit_mb=2048 -timeout=10 -artifact_prefix="$dir/" \
      -print_final_stats=1 "$dir/corpus/$f" 2>"$dir/$f.log" || { tail -n 60 "$dir/$f.log"; exit 1; }
    grep -E '^stat::number_of_executed_units' "$dir/$f.log" || true
  done
}

install_missing_packages

# Tests are built and run once, under the sanitizers below, so that a run
# stays within half an hour on two cores.
configure build/release -DCMAKE_BUILD_TYPE=Release -DLUMITRA_BUILD_TESTS=OFF
build build/release

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
configure build/asan -DLUMITRA_SANITIZE=address -DCMAKE_BUILD_TYPE=Debug
build build/asan
run_tests build/asan --timeout 900

export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
configure build/tsan -DLUMITRA_SANITIZE=thread -DCMAKE_BUILD_TYPE=RelWithDebInfo
build build/tsan thread_tests
run_tests build/tsan -L threads --timeout 900

run_fuzzers
echo "tests: $TESTS_PASSED test programs passed, 0 failed"
