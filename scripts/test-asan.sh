#!/usr/bin/env bash
# Builds with the asan preset (AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer)
# and runs the whole suite under Xvfb. Leaks inside third-party libraries are suppressed by
# tests/lsan.supp (set by the asan test preset); any other report fails the test that made it.
# Extra arguments go to ctest (for example: ./scripts/test-asan.sh -L unit).
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh

werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
cmake --preset asan -DARDIX_WERROR=$werror >/dev/null
cmake --build --preset asan

xvfb-run -a -s "-screen 0 1280x1024x24" \
  ctest --preset asan --timeout 900 -j2 "$@"
