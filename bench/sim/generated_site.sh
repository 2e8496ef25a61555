#!/usr/bin/env bash
# Start time, resident memory and threads of zarn-sim serving a generated site of N cameras,
# on free ports, with an empty video cache (nothing is made before a camera is viewed).
#   bench/sim/generated_site.sh N [runs]            --generate-site N: gateways share one service
#   bench/sim/generated_site.sh N [runs] separate   the same number of gateways of 64 streams,
#                                                   each with its own HTTP and RTSP service
# Start: from the program's start until the control port is listening (after every service).
set -euo pipefail
cd "$(dirname "$0")/../.."
sim="$(pwd)/build/sim/zarn-sim"
cameras="${1:?number of cameras}"
runs="${2:-3}"
mode="${3:-shared}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

args=(--generate-site "$cameras")
if [ "$mode" = separate ]; then
  # Every gateway on port 0: each gets a service of its own, as before services were shared.
  awk -v n="$cameras" 'BEGIN {
    printf "{\"users\":[{\"id\":500,\"name\":\"operator\",\"password\":\"operator\"}],\"objects\":[";
    printf "{\"id\":1,\"type\":7,\"name\":\"Root\"}"; id = 2;
    for (c = 0; c < n; ) {
      g = id++; printf ",{\"id\":%d,\"type\":2,\"class\":\"device.GATEWAY\",\"parent\":1,\"httpPort\":0,\"rtspPort\":0}", g;
      for (s = 0; s < 64 && c < n; s++) { c++; printf ",{\"id\":%d,\"type\":10,\"class\":\"stream.VIDEO\",\"parent\":%d,\"name\":\"Cam %d\"}", id++, g, c }
    }
    print "]}" }' >"$work/site.json"
  args=(--site "$work/site.json")
fi

for run in $(seq "$runs"); do
  rm -rf "$work/home" "$work/log" && mkdir -p "$work/home" && : >"$work/log"
  start=$(date +%s%N)
  HOME="$work/home" XDG_CACHE_HOME="$work/home/cache" "$sim" "${args[@]}" --port 0 \
    --control-port 0 $([ "$mode" = separate ] || echo --http-port 0 --rtsp-port 0) \
    2>"$work/log" &
  pid=$!
  until grep -q "control listening" "$work/log"; do
    kill -0 "$pid" 2>/dev/null || { cat "$work/log" >&2; exit 1; }
    sleep 0.02
  done
  end=$(date +%s%N)
  rss=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")
  threads=$(awk '/Threads/ {print $2}' "/proc/$pid/status")
  kill "$pid"; wait "$pid" || true
  echo "$mode $cameras cameras, run $run: start $(( (end - start) / 1000000 )) ms," \
       "resident $(( rss / 1024 )) MiB, $threads threads"
done
