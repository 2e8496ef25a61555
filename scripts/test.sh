#!/usr/bin/env bash
# Installs what is missing, builds with the default preset and runs the whole suite under Xvfb.
# Extra arguments go to ctest (for example: ./scripts/test.sh -L unit).
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh

werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
cmake --preset default -DARDIX_WERROR=$werror >/dev/null
cmake --build --preset default

cd build
xvfb-run -a -s "-screen 0 1280x1024x24" \
  ctest --output-on-failure --timeout 600 -j2 "$@"
