#!/usr/bin/env bash
# Builds the project and starts the simulated site, the console signed in to it, and the
# companion layout switcher beside it. Without a display everything runs under Xvfb.
#   ./scripts/demo.sh                      run until the console's window closes
#   ./scripts/demo.sh --screenshot FILE    start, save a picture of the screen, stop
#   ./scripts/demo.sh --generate-site N    the same on a made-up chain of N cameras instead of
#                                          the demo shop (1 to 100000; docs/site-file.md)
#
# The demo keeps its own home folder (build/demo-home: console log, login fields, vantrel.log;
# build/demo-home-generated for a generated site) so it never touches the settings of a
# console you use for real.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

shot=""
cameras=""
while [ $# -gt 0 ]; do
  case "$1" in
    --screenshot) [ $# -ge 2 ] || { echo "--screenshot needs a file name" >&2; exit 2; }
                  shot="$(realpath -m "$2")"; shift 2 ;;
    --generate-site) [[ $# -ge 2 && "$2" =~ ^[0-9]{1,6}$ ]] && (( 10#$2 >= 1 && 10#$2 <= 100000 )) ||
                       { echo "--generate-site needs a number of cameras from 1 to 100000" >&2; exit 2; }
                     cameras="$2"; shift 2 ;;
    *) echo "usage: $0 [--screenshot FILE] [--generate-site CAMERAS]" >&2; exit 2 ;;
  esac
done

./scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target client vantrel zarn-sim

demo_home="$root/build/demo-home"
site_args=(--site "$root/sim/sites/demo.json")
if [ -n "$cameras" ]; then
  # Its own home: the demo shop's last layout means nothing on the generated site.
  demo_home="$root/build/demo-home-generated"
  site_args=(--generate-site "$cameras")
fi
settings="$demo_home/.config/ardix.example/Ardix.conf"
log="$demo_home/.local/share/Ardix/clientLogs.txt"
mkdir -p "$(dirname "$settings")"
if [ ! -f "$settings" ]; then
  # The login screen signs in by itself when all four fields are stored.
  printf '[General]\nhost=127.0.0.1\nport=12240\nuser=operator\npass=operator\n' >"$settings"
fi

pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; wait 2>/dev/null || true; }
trap cleanup EXIT

if [ -n "$shot" ] || [ -z "${DISPLAY:-}" ]; then
  n=$((90 + RANDOM % 100))
  Xvfb ":$n" -screen 0 1320x500x24 -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  export DISPLAY=":$n"
  for _ in $(seq 50); do [ -S "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
fi

# The simulator keeps the video it makes in the demo's own cache folder; its faults (a lost
# event server, a stalled stream) are commanded on port 12241 (docs/site-file.md).
HOME="$demo_home" XDG_CACHE_HOME="$demo_home/.cache" \
  "$root/build/sim/zarn-sim" "${site_args[@]}" --control-port 12241 \
  2>"$demo_home/zarn-sim.log" &
pids+=($!)

lines_before=$( (cat "$log" 2>/dev/null || true) | wc -l)
# The console keeps its local store (data.sqlite) in its working folder: the demo home. No
# session bus for it, so the demo's password stays in the demo home and never reaches your
# own secret store.
(cd "$demo_home" && HOME="$demo_home" DBUS_SESSION_BUS_ADDRESS="unix:path=$demo_home/no-bus" \
  exec "$root/build/client/client") &
client=$!
pids+=($client)
(cd "$demo_home" && exec "$root/build/vantrel/vantrel" -geometry 640x480+670+0) &
pids+=($!)

echo "console log: $log"
echo "faults: bash -c 'exec 3<>/dev/tcp/127.0.0.1/12241; echo drop-connections 15 >&3; head -1 <&3'"
if [ -n "$shot" ]; then
  for _ in $(seq 100); do
    tail -n +"$((lines_before + 1))" "$log" 2>/dev/null | grep -qE 'Showing the (first|last applied) layout' && break
    sleep 0.2
  done
  # Every video cell of the layout reports its picture before the grab.
  for _ in $(seq 150); do
    cells=$(tail -n +"$((lines_before + 1))" "$log" 2>/dev/null | grep -c 'videoLoaded: true' || true)
    [ "$cells" -ge 4 ] && break
    sleep 0.2
  done
  sleep 1
  kill -0 "$client" || { echo "the console did not start" >&2; exit 1; }
  ffmpeg -loglevel error -y -f x11grab -video_size 1320x500 -i "$DISPLAY" -frames:v 1 "$shot"
  echo "screenshot saved: $shot"
  exit 0
fi
wait "$client"
