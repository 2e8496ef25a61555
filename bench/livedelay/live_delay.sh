#!/usr/bin/env bash
# P7: how far behind the live edge the console's cells play, over a run with a CPU hog in the
# middle, against standalone mpv with its low-latency profile on the same stream.
#   xvfb-run -a -s "-screen 0 1280x1024x24" bench/livedelay/live_delay.sh [SECONDS] [HOG_AT] [HOG_FOR] [http|rtsp]
# (defaults: 600 s, a hog from 285 s for 30 s, every camera over HTTP; rtsp plays them all from
# the gateway's RTSP service, the reference too, over TCP). The console signs in to zarn-sim's demo site
# and shows its first layout (2x2); each cell logs its delay once a second
# ("ardix.livedelay"), the reference mpv prints its own. Prints p50, p99 and the time to come
# back under 1 s after the hog, per cell and for the reference.
set -euo pipefail
cd "$(dirname "$0")/../.."
total=${1:-600}
hogAt=${2:-285}
hogFor=${3:-30}
transport=${4:-http}
case "$transport" in http|rtsp) ;; *) echo "transport: http or rtsp" >&2; exit 2;; esac
sim=build/sim/zarn-sim
client=build/client/client
[ -x "$sim" ] && [ -x "$client" ] || { echo "build zarn-sim and client first" >&2; exit 2; }
[ -n "${DISPLAY:-}" ] || { echo "run under an X server (xvfb-run)" >&2; exit 2; }
work=$(mktemp -d)
pids=()
# The samplers' tail processes are their subshells' children: they go first, or they would
# hold the script's output open after it ends.
cleanup() {
  for p in "${pids[@]}"; do pkill -P "$p" 2>/dev/null || true; kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
freeport() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
now() { date +%s.%N; }

http=$(freeport); rtsp=$(freeport); events=$(freeport); ipc=$(freeport)
# Every camera on one transport: an HTTP address of the demo keeps its extras, any other one
# is written anew for its stream and profile.
python3 - "$transport" "$http" "$rtsp" "$(freeport)" > "$work/site.json" <<'PY'
import json, sys
transport, http, rtsp, pos = sys.argv[1], *map(int, sys.argv[2:5])
site = json.load(open('sim/sites/demo.json'))
def live(url, stream, profile):
    if transport == 'rtsp':
        return 'rtsp://127.0.0.1:%d/live/%d/%s' % (rtsp, stream, profile)
    if url.startswith('http://'):
        return url.replace(':9554/', ':%d/' % http)
    return 'http://127.0.0.1:%d/live/%d[[?profile{EQU}%s]]' % (http, stream, profile)
for o in site['objects']:
    s = o.get('settings', {})
    if o.get('class') == 'device.GATEWAY':
        s['posPort'] = pos
    elif 'url' in s:
        s['url'] = live(s['url'], o['id'], 'main')
        for p in s.get('profiles', []):
            p['url'] = live(p['url'], o['id'], p['name'])
json.dump(site, sys.stdout, indent=1)
PY
XDG_CACHE_HOME="$work/cache" "$sim" --site "$work/site.json" --port "$events" --http-port "$http" --rtsp-port "$rtsp" \
    2>"$work/sim.log" &
pids+=("$!")
for _ in $(seq 100); do grep -q "HTTP service listening" "$work/sim.log" && break; sleep 0.1; done
for s in 11 12 13 14; do # every loop made before the run (the first bytes of each stream)
  timeout 60 sh -c "curl -s 'http://127.0.0.1:$http/live/$s' | head -c 1000 > /dev/null" || true
done

mkdir -p "$work/home/.config/ardix.example" "$work/client"
printf '[General]\nhost=127.0.0.1\nport=%s\nuser=operator\npass=operator\n' "$events" \
    > "$work/home/.config/ardix.example/Ardix.conf"
cp "$client" "$work/client/client"
printf '[IPC]\nurl=tcp://127.0.0.1:%s\n' "$ipc" > "$work/client/config.ini"
log="$work/home/.local/share/Ardix/clientLogs.txt"
(cd "$work/client" && HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" \
    XDG_DATA_HOME="$work/home/.local/share" QT_LOGGING_RULES="ardix.livedelay.info=true" \
    exec ./client >/dev/null 2>&1) &
pids+=("$!")

cat > "$work/probe.lua" <<'LUA'
mp.add_periodic_timer(1, function()
  local pos = mp.get_property_number("time-pos")
  local ahead = mp.get_property_number("demuxer-cache-duration")
  if pos then print(string.format("sample %.3f %.3f %.3f", os.time() + 0.0, pos, ahead or 0)) end
end)
LUA
if [ "$transport" = rtsp ]; then
  reference=(--rtsp-transport=tcp "rtsp://127.0.0.1:$rtsp/live/11/main")
else
  reference=("http://127.0.0.1:$http/live/11?profile=main")
fi
mpv --no-config --profile=low-latency --ao=null --geometry=320x240 --script="$work/probe.lua" \
    "${reference[@]}" > "$work/mpv.log" 2>&1 &
pids+=("$!")

start=$(now)
# Time stamps for the console's samples as they are written.
for _ in $(seq 300); do [ -f "$log" ] && break; sleep 0.1; done
(tail -n +1 -F "$log" 2>/dev/null | while IFS= read -r line; do
   case "$line" in *"Live delay:"*) echo "$(now) $line";; esac
 done > "$work/console.samples") &
pids+=("$!")
(while IFS= read -r line; do
   case "$line" in *sample*) echo "$(now) $line";; esac
 done < <(tail -n +1 -F "$work/mpv.log" 2>/dev/null) > "$work/mpv.samples") &
pids+=("$!")

sleep "$hogAt"
hogStart=$(now)
hogs=$(( 2 * $(nproc) + 2 ))
for _ in $(seq "$hogs"); do timeout "$hogFor" sh -c 'while :; do :; done' & done
sleep "$hogFor"
hogEnd=$(now)
sleep $(( total - hogAt - hogFor ))

python3 - "$work/console.samples" "$work/mpv.samples" "$start" "$hogStart" "$hogEnd" "$hogs" "$transport" <<'PY'
import sys, re, statistics
console, ref, start, hogStart, hogEnd, hogs, transport = sys.argv[1], sys.argv[2], *map(float, sys.argv[3:6]), *sys.argv[6:8]
cells = {}
for line in open(console):
    m = re.match(r'(\S+) .*Live delay: (\S+) (\S+)', line)
    if m:
        cells.setdefault(re.sub(r'.*/live/(\d+).*', r'\1', m.group(2)), []).append((float(m.group(1)), float(m.group(3))))
refs = []
first = None
for line in open(ref):
    m = re.match(r'(\S+) .*sample \S+ (\S+) (\S+)', line)
    if not m: continue
    t, pos, ahead = float(m.group(1)), float(m.group(2)), float(m.group(3))
    if first is None and t - start > 10: first = (t, pos, ahead)
    if first: refs.append((t, max(0.0, (t - first[0]) - (pos - first[1])) + first[2]))
def pct(values, p):
    v = sorted(values); return v[min(len(v) - 1, int(round(p / 100 * (len(v) - 1))))]
def back(samples):
    for t, d in samples:
        if t >= hogEnd and d <= 1.0: return '%.1f s' % (t - hogEnd)
    return 'not within the run'
print('%s; hog of %s busy loops from %.0f s to %.0f s after the start; samples from 10 s on' % (transport, hogs, hogStart - start, hogEnd - start))
print('| Player | samples | p50 s | p99 s | max during hog s | back under 1 s after the hog |')
print('|---|---|---|---|---|---|')
for name in sorted(cells):
    s = [x for x in cells[name] if x[0] - start > 10]
    d = [x[1] for x in s]
    during = [x[1] for x in s if hogStart <= x[0] <= hogEnd] or [0]
    print('| console cell, stream %s | %d | %.2f | %.2f | %.2f | %s |' % (name, len(d), pct(d, 50), pct(d, 99), max(during), back(s)))
if refs:
    d = [x[1] for x in refs]
    during = [x[1] for x in refs if hogStart <= x[0] <= hogEnd] or [0]
    print('| standalone mpv low-latency, stream 11 | %d | %.2f | %.2f | %.2f | %s |' % (len(d), pct(d, 50), pct(d, 99), max(during), back(refs)))
PY
