#!/bin/bash
# Runs Lumitra4 on a folder, building it first when needed:
#   ./run.sh            a sample folder made by tools/make_samples (build/samples)
#   ./run.sh <folder>   the folder (or a picture in it)
# It needs a desktop session (X11 or Wayland) and the packages ./test.sh installs.
set -euo pipefail
cd "$(dirname "$0")"
JOBS=${JOBS:-$(nproc)}
dir=build/release
if [ ! -f "$dir/build.ninja" ]; then
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMITRA_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$dir" -j "$JOBS" --target Lumitra4 make_samples
target=${1:-}
if [ -z "$target" ]; then
  target=build/samples
  if [ ! -f "$target/MOV_0001.AVI" ]; then
    "$dir/tools/make_samples" "$target" small >/dev/null
  fi
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: no desktop session (neither DISPLAY nor WAYLAND_DISPLAY is set)" >&2
  exit 1
fi
exec "$dir/Lumitra4" "$(realpath "$target")"
