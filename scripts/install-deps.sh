#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run the demo.
# Idempotent: when all packages are present it only checks and returns.
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake ninja-build pkg-config clang ccache
  # Qt 5.15
  qtbase5-dev qtbase5-private-dev qtdeclarative5-dev qtdeclarative5-dev-tools
  qtquickcontrols2-5-dev qttools5-dev-tools
  qml-module-qtquick2 qml-module-qtquick-controls2 qml-module-qtquick-layouts
  qml-module-qtquick-window2 qml-module-qt-labs-settings qml-module-qttest
  qml-module-qtremoteobjects libqt5remoteobjects5-dev libqt5remoteobjects5-bin
  libqt5sql5-sqlite
  # the alarm sound (QSoundEffect, played through PulseAudio)
  qtmultimedia5-dev libqt5multimedia5 libqt5multimedia5-plugins
  # the desktop's secret store for the sign-in password
  qtkeychain-qt5-dev libqt5keychain1
  # exports signed with Ed25519 (libcrypto); the openssl program checks them as anyone would
  libssl-dev openssl
  # time zones: the repeated hour of a clock change is tested in a named zone
  tzdata
  # media, messaging, networking
  libmpv-dev libavformat-dev libavcodec-dev libavutil-dev libswscale-dev ffmpeg mpv fonts-dejavu-core libzmq3-dev cppzmq-dev libasio-dev nlohmann-json3-dev libcpp-httplib-dev
  # the simulated gateway's RTSP service: the server library, appsrc (base), the RTP
  # packetiser, rtpbin and the UDP elements (good)
  libgstrtspserver-1.0-dev libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  # tests and benchmarks
  libgtest-dev libbenchmark-dev xvfb xauth libgl1-mesa-dri xdotool
  # a sound server with a null sink, so that the alarm sound loads under a virtual display
  pulseaudio
  # packaging: cpack's dependency computation, and the checks of the built package
  dpkg-dev desktop-file-utils appstream file
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
