#!/bin/sh
# Installs the built package on a clean Debian root, as an operator's machine gets it, and
# shows that the console starts from the application menu and plays the demo site.
#   packaging/check-clean-install.sh DEB FOLDER [SHOTS]
# Needs root (debootstrap, chroot, bind mounts), the Debian mirror, Xvfb and ffmpeg on this
# machine. FOLDER is made (or reused) as the clean root; SHOTS (default: .) receives
# menu.png (the desktop's application menu, filtered on "ardix") and console.png (the console
# started from that menu, signed in to zarn-sim with the demo site).
set -eu
deb=$(readlink -f "$1"); root=$2; shots=$(readlink -f "${3:-.}")
display=:97
[ -f "$root/etc/debian_version" ] ||
  debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp "$deb" "$root/tmp/package.deb"
in_root() { chroot "$root" env HOME=/root DISPLAY=$display sh -c "$1"; }
in_root "apt-get update -q && apt-get install -y -q /tmp/package.deb"
# A small menu that reads the desktop entries and their icons, as a desktop's would.
in_root "apt-get install -y -q --no-install-recommends rofi hicolor-icon-theme"

mkdir -p "$root/tmp/.X11-unix" "$root/root/.config/ardix.example"
mountpoint -q "$root/tmp/.X11-unix" || mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"
mountpoint -q "$root/proc" || mount -t proc proc "$root/proc"
Xvfb $display -screen 0 1280x800x24 -nolisten tcp & xvfb=$!
cleanup() {
  in_root "pkill rofi; pkill client; pkill zarn-sim" || true
  kill $xvfb || true
  umount "$root/tmp/.X11-unix" "$root/proc" || true
}
trap cleanup EXIT
rm -f "$root/root/.local/share/Ardix/clientLogs.txt"
printf '[General]\nhost=127.0.0.1\nport=12240\nuser=operator\npass=operator\n' \
  > "$root/root/.config/ardix.example/Ardix.conf"
in_root "cd /root && exec zarn-sim --site /usr/share/ardix/sites/demo.json" > "$shots/zarn-sim.log" 2>&1 &
sleep 3
grab() { ffmpeg -loglevel error -y -f x11grab -video_size 1280x800 -i $display -frames:v 1 "$1"; }
in_root "exec rofi -show drun -show-icons -filter ardix" &
sleep 4; grab "$shots/menu.png"
DISPLAY=$display xdotool key Return    # starts the first entry, "Ardix Console"
for _ in $(seq 60); do
  grep -q "Showing the first layout" "$root/root/.local/share/Ardix/clientLogs.txt" 2>/dev/null && break
  sleep 1
done
sleep 8; grab "$shots/console.png"
grep "Showing the first layout" "$root/root/.local/share/Ardix/clientLogs.txt"
echo "clean install checked: $shots/menu.png $shots/console.png"
