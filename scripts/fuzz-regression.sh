#!/usr/bin/env bash
# The fuzz step of the test run: every harness replays its seed corpus (which keeps the inputs of
# earlier findings) and then fuzzes afresh for a short while, two harnesses at a time.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
FUZZ_FRESH=1 exec "$here/fuzz.sh" "${FUZZ_REGRESSION_SECONDS:-15}"
