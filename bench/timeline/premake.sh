#!/usr/bin/env bash
# Makes the three recordings of bench/timeline/realistic.json once, into the cache zarn-sim
# uses ($XDG_CACHE_HOME/zarn-sim, else ~/.cache/zarn-sim; run with the benchmark's own
# XDG_CACHE_HOME), and prints how long each took and its size.
#   bench/timeline/premake.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
sim=build/sim/zarn-sim
[ -x "$sim" ] || { echo "build zarn-sim first" >&2; exit 2; }
log=$(mktemp)
"$sim" --site bench/timeline/realistic.json --port 0 --http-port 0 2>"$log" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; wait 2>/dev/null || true; rm -f "$log"' EXIT
port=
for _ in $(seq 100); do
  port=$(sed -n 's/.*gateway 2: HTTP service listening on [0-9.]*:\([0-9]*\).*/\1/p' "$log")
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { echo "zarn-sim did not start" >&2; cat "$log" >&2; exit 1; }
# Recording names are in the simulator's local time, as here.
for start in 1765170000 1765170600 1765171200; do
  name=12_$(date -d "@$start" +%Y%m%d-%H-%M-%S)
  began=$(date +%s.%N)
  curl -sSf --max-time 600 -o /dev/null -w "$name: %{size_download} bytes" "http://127.0.0.1:$port/$name"
  awk -v a="$began" -v b="$(date +%s.%N)" 'BEGIN { printf " in %.1f s\n", b - a }'
done
