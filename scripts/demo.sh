#!/usr/bin/env bash
# Builds the project and starts the console. Without a display it runs under Xvfb.
#   ./scripts/demo.sh                      start and keep running until the window closes
#   ./scripts/demo.sh --screenshot FILE    start, save a picture of the screen, stop
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

shot=""
while [ $# -gt 0 ]; do
  case "$1" in
    --screenshot) shot="$(realpath -m "$2")"; shift 2 ;;
    *) echo "usage: $0 [--screenshot FILE]" >&2; exit 2 ;;
  esac
done

./scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target client

pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; wait 2>/dev/null || true; }
trap cleanup EXIT

if [ -n "$shot" ] || [ -z "${DISPLAY:-}" ]; then
  n=$((90 + RANDOM % 100))
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  export DISPLAY=":$n"
  for _ in $(seq 50); do [ -S "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
fi

"$root/build/client/client" &
client=$!
pids+=($client)

if [ -n "$shot" ]; then
  sleep 4
  kill -0 "$client" || { echo "the console did not start" >&2; exit 1; }
  ffmpeg -loglevel error -y -f x11grab -video_size 1280x1024 -i "$DISPLAY" -frames:v 1 "$shot"
  echo "screenshot saved: $shot"
  exit 0
fi
wait "$client"
