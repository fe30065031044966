#!/usr/bin/env bash
# Installs what is needed, builds Feedrail and runs every test.
#   scripts/test.sh            the normal build, warnings as errors
#   scripts/test.sh sanitize   the same under AddressSanitizer and UndefinedBehaviorSanitizer
#   scripts/test.sh thread     the serial tests under ThreadSanitizer, three times over
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-plain}
case "$mode" in
    plain)    build=build/test;     sanitize="" ;;
    sanitize) build=build/sanitize; sanitize="address,undefined" ;;
    thread)   build=build/thread;   sanitize="thread" ;;
    *) echo "usage: $0 [plain|sanitize|thread]" >&2; exit 2 ;;
esac

scripts/setup-debian.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DFEEDRAIL_WERROR=ON \
    -DFEEDRAIL_SANITIZE="$sanitize"
cmake --build "$build" --parallel
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
selection=()
[ "$mode" = thread ] && selection=(--tests-regex 'Comm|NullModem|Pty' --repeat until-fail:3)
ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)" --timeout 300 "${selection[@]}"
