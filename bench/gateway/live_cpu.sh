#!/usr/bin/env bash
# CPU of zarn-sim serving N live connections against the CPU of N standalone mpv players that
# show them (decoding with --vo=null, a lower bound of what any viewer spends).
#   bench/gateway/live_cpu.sh [N] [SECONDS]     (default 16 connections, 20 s)
# Prints the CPU seconds of both sides over the same window and their ratio.
set -euo pipefail
cd "$(dirname "$0")/../.."
n=${1:-16}
secs=${2:-20}
sim=build/sim/zarn-sim
[ -x "$sim" ] || { echo "build zarn-sim first" >&2; exit 2; }
work=$(mktemp -d)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; wait 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT

XDG_CACHE_HOME="$work/cache" "$sim" --site sim/sites/demo.json --port 0 --http-port 0 2>"$work/sim.log" &
simpid=$!
pids+=("$simpid")
for _ in $(seq 100); do
  port=$(sed -n 's/.*gateway 2: HTTP service listening on [0-9.]*:\([0-9]*\).*/\1/p' "$work/sim.log")
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { echo "zarn-sim did not start" >&2; cat "$work/sim.log" >&2; exit 1; }

# Prepare the four loops before measuring.
for s in 11 12 13 14; do
  curl -s --max-time 30 -o /dev/null -r 0-1000 "http://127.0.0.1:$port/live/$s" || true
done

streams=(11 12 13 14)
for i in $(seq 0 $((n - 1))); do
  mpv --no-config --really-quiet --vo=null --ao=null \
      "http://127.0.0.1:$port/live/${streams[$((i % 4))]}?profile=main" >/dev/null 2>&1 &
  pids+=("$!")
done
mpvpids=("${pids[@]:1}")
sleep 5 # every player past its start

ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat" 2>/dev/null || echo 0; }
sum() { local t=0; for p in "$@"; do t=$((t + $(ticks "$p"))); done; echo "$t"; }
sim0=$(ticks "$simpid"); mpv0=$(sum "${mpvpids[@]}")
sleep "$secs"
sim1=$(ticks "$simpid"); mpv1=$(sum "${mpvpids[@]}")
hz=$(getconf CLK_TCK)
alive=0; for p in "${mpvpids[@]}"; do kill -0 "$p" 2>/dev/null && alive=$((alive + 1)); done
awk -v s=$((sim1 - sim0)) -v m=$((mpv1 - mpv0)) -v hz="$hz" -v n="$n" -v a="$alive" -v secs="$secs" 'BEGIN {
  printf "connections %d (players still playing: %d), window %d s\n", n, a, secs
  printf "zarn-sim CPU: %.2f s   mpv players CPU: %.2f s   ratio: %.4f\n", s / hz, m / hz, (m ? s / m : 0)
}'
