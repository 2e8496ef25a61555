#!/usr/bin/env bash
# Runs one test in a fresh sandbox: its own HOME, XDG folders and working directory.
# The folder is kept when ARDIX_KEEP_TEST_DIRS is set (screenshots and logs to look at).
set -u
root=$(mktemp -d "${TMPDIR:-/tmp}/ardix-test.XXXXXX")
export HOME="$root/home" XDG_CONFIG_HOME="$root/home/.config" XDG_DATA_HOME="$root/home/.local/share"
export XDG_CACHE_HOME="$root/home/.cache" XDG_RUNTIME_DIR="$root/runtime" TMPDIR="$root/tmp"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$TMPDIR" "$root/work"
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
export ARDIX_TEST_ROOT="$root"
# Tests that need no window still get a platform; GUI tests run under xvfb-run's DISPLAY.
[ -n "${DISPLAY:-}" ] || export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
export QT_QUICK_BACKEND="${QT_QUICK_BACKEND:-}" LIBGL_ALWAYS_SOFTWARE=1
cd "$root/work"
"$@"
rc=$?
if [ -n "${ARDIX_KEEP_TEST_DIRS:-}" ]; then
  echo "test folder kept: $root"
else
  rm -rf "$root"
fi
exit $rc
