#!/usr/bin/env bash
# RTP over TCP (interleaved in the RTSP connection) against RTP over UDP, on loopback:
# standalone mpv players with the console's cell options play the demo's four cameras from
# zarn-sim's RTSP service, first with --rtsp-transport=tcp, then with udp, each run with a CPU
# hog in its middle. Per transport: time to the first picture, delay behind the live edge (as
# bench/livedelay/live_delay.sh measures its reference), the players' CPU, and what was lost
# (packets the RTP layer missed, pictures the decoder could not decode whole).
#   xvfb-run -a -s "-screen 0 1280x1024x24" bench/gateway/rtsp_transport.sh [SECONDS] [HOG_AT] [HOG_FOR] [PLAYERS]
# (defaults: 90 s, a hog from 30 s for 30 s, 4 players on streams 11 to 14 in turn).
set -euo pipefail
cd "$(dirname "$0")/../.."
total=${1:-90}
hogAt=${2:-30}
hogFor=${3:-30}
players=${4:-4}
sim=build/sim/zarn-sim
[ -x "$sim" ] || { echo "build zarn-sim first" >&2; exit 2; }
[ -n "${DISPLAY:-}" ] || { echo "run under an X server (xvfb-run)" >&2; exit 2; }
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do pkill -P "$p" 2>/dev/null || true; kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
freeport() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
now() { date +%s.%N; }
cpu() { awk '{ print $14 + $15 }' "/proc/$1/stat" 2>/dev/null || echo 0; }

rtsp=$(freeport); events=$(freeport); http=$(freeport); control=$(freeport)
sed -e "s/\"posPort\": 5556/\"posPort\": $(freeport)/" sim/sites/demo.json > "$work/site.json"
XDG_CACHE_HOME="$work/cache" "$sim" --site "$work/site.json" --port "$events" --http-port "$http" \
    --rtsp-port "$rtsp" --control-port "$control" 2>"$work/sim.log" &
pids+=("$!")
for _ in $(seq 100); do grep -qs "RTSP service listening" "$work/sim.log" && break; sleep 0.1; done
# Every loop made before the runs: a first viewer would otherwise wait for ffmpeg.
for s in 11 12 13 14; do
  timeout 60 mpv --no-config --vo=null --ao=null --frames=1 "rtsp://127.0.0.1:$rtsp/live/$s/main" >/dev/null 2>&1 || true
done

cat > "$work/probe.lua" <<'LUA'
mp.register_event("playback-restart", function() print("picture") end)
mp.add_periodic_timer(1, function()
  local pos = mp.get_property_number("time-pos")
  local ahead = mp.get_property_number("demuxer-cache-duration")
  if pos then print(string.format("sample %.3f %.3f", pos, ahead or 0)) end
end)
LUA

run() { # transport
  local transport=$1 out="$work/$1" mpvs=() i
  mkdir -p "$out"
  local start; start=$(now)
  for i in $(seq 0 $(( players - 1 ))); do
    (mpv --no-config --vo=gpu --gpu-context=x11egl --no-border --load-scripts=no --ytdl=no \
         --geometry=320x180+$(( i % 4 * 320 ))+$(( i / 4 * 180 )) \
         --profile=low-latency --cache=no --video-sync=desync --aid=no --ao=null --hwdec=auto \
         --demuxer-readahead-secs=30 --rtsp-transport="$transport" \
         --msg-level=all=warn,probe=info --script="$work/probe.lua" \
         "rtsp://127.0.0.1:$rtsp/live/$(( 11 + i % 4 ))/main" 2>&1 |
       while IFS= read -r line; do echo "$(now) $line"; done > "$out/$i.log") &
    pids+=("$!"); mpvs+=("$!")
  done
  sleep 5
  local players_pids; players_pids=$(for p in "${mpvs[@]}"; do pgrep -P "$p" -x mpv; done)
  local cpu0=0 p; for p in $players_pids; do cpu0=$(( cpu0 + $(cpu "$p") )); done
  local cpuStart; cpuStart=$(now)
  sleep $(( hogAt - 5 ))
  local hogStart; hogStart=$(now)
  local hogs=$(( 2 * $(nproc) + 2 )) h
  for h in $(seq "$hogs"); do timeout "$hogFor" sh -c 'while :; do :; done' & done
  sleep "$hogFor"
  local hogEnd; hogEnd=$(now)
  sleep $(( total - hogAt - hogFor ))
  local cpu1=0; for p in $players_pids; do cpu1=$(( cpu1 + $(cpu "$p") )); done
  local cpuEnd; cpuEnd=$(now)
  for p in "${mpvs[@]}"; do pkill -P "$p" -x mpv 2>/dev/null || true; done
  wait "${mpvs[@]}" 2>/dev/null || true
  python3 - "$out" "$transport" "$start" "$hogStart" "$hogEnd" "$(( cpu1 - cpu0 ))" "$cpuStart" "$cpuEnd" "$(getconf CLK_TCK)" <<'PY'
import sys, re, glob
out, transport = sys.argv[1], sys.argv[2]
start, hogStart, hogEnd = map(float, sys.argv[3:6])
ticks, cpuStart, cpuEnd, hz = int(sys.argv[6]), float(sys.argv[7]), float(sys.argv[8]), int(sys.argv[9])
def pct(v, p):
    v = sorted(v); return v[min(len(v) - 1, int(round(p / 100 * (len(v) - 1))))] if v else float('nan')
firsts, delays, after, missed, damaged, frozen = [], [], [], 0, 0, 0.0
for path in sorted(glob.glob(out + '/*.log')):
    first, base, moved = None, None, None
    for line in open(path):
        t, _, text = line.rstrip('\n').partition(' ')
        t = float(t)
        if text.rstrip().endswith('] picture') and first is None:
            first = t - start
        m = re.search(r'\] sample (\S+) (\S+)', text)
        if m and t - start > 10:
            pos, ahead = float(m.group(1)), float(m.group(2))
            if moved is None or pos != moved[1]: moved = (t, pos)
            frozen = max(frozen, t - moved[0])
            if base is None: base = (t, pos, ahead)
            d = max(0.0, (t - base[0]) - (pos - base[1])) + base[2]
            delays.append(d)
            if t >= hogEnd: after.append(d)
        m = re.search(r'RTP: missed (\d+) packets', text)
        if m: missed += int(m.group(1))
        if re.search(r'error while decoding|concealing|corrupt|non-existing|co located POCs|Invalid NAL|out of range', text):
            damaged += 1
    firsts.append(first if first is not None else float('nan'))
print('| %s | %s | %.2f | %.2f | %.2f | %.2f | %d | %d | %.0f |' % (
    transport, ' / '.join('%.0f' % (f * 1000) for f in firsts), pct(delays, 50), pct(delays, 99),
    after[-1] if after else float('nan'), ticks / hz / (cpuEnd - cpuStart), missed, damaged, frozen))
PY
}

echo "$players players, $total s each, hog of $(( 2 * $(nproc) + 2 )) busy loops from $hogAt s for $hogFor s"
echo "| transport | first picture ms per player | delay p50 s | delay p99 s | delay at the end s | players' CPU, cores | RTP packets missed | decoder complaints | longest frozen picture s |"
echo "|---|---|---|---|---|---|---|---|---|"
run tcp
run udp
