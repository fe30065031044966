#!/usr/bin/env bash
# Installs what is needed, builds Feedrail and runs every test.
#   scripts/test.sh            the normal build, warnings as errors
#   scripts/test.sh sanitize   the same under AddressSanitizer and UndefinedBehaviorSanitizer
#   scripts/test.sh thread     the serial tests under ThreadSanitizer, three times over
# Each mode is a preset of CMakePresets.json.
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-plain}
case "$mode" in
    plain | sanitize | thread) ;;
    *) echo "usage: $0 [plain|sanitize|thread]" >&2; exit 2 ;;
esac

# GoogleTest, poppler's tools to read the listings' PDF files back, and a
# serial device server with its pseudo-terminal line for the network devices.
scripts/setup-debian.sh libgtest-dev poppler-utils ser2net socat
cmake --preset "$mode"
cmake --build --preset "$mode" --parallel
ctest --preset "$mode" --parallel "$(nproc)"
