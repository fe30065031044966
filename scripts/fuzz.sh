#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang (the fuzz preset) and
# runs one of them, or each in turn, for a number of seconds:
#   scripts/fuzz.sh TARGET SECONDS   one target, e.g. scripts/fuzz.sh tape-code 600
#   scripts/fuzz.sh all SECONDS      every target, SECONDS each
# A run starts from the seeds in tests/fuzz/corpus/TARGET, copied to a working
# corpus that is thrown away afterwards, so the seeds stay few and small. A
# crash or a broken property fails the script and leaves the input that
# caused it in build/fuzz/crashes/TARGET/.
set -euo pipefail
cd "$(dirname "$0")/.."

targets=(ini-document field-rules tape-code receive-transfer machine-options punched-programs telnet-decoder)

usage() {
    echo "usage: $0 TARGET|all SECONDS   (TARGET: ${targets[*]})" >&2
    exit 2
}

[ $# -eq 2 ] || usage
[[ "$2" =~ ^[1-9][0-9]*$ ]] || usage
if [ "$1" = all ]; then
    chosen=("${targets[@]}")
elif [[ " ${targets[*]} " == *" $1 "* ]]; then
    chosen=("$1")
else
    usage
fi
seconds=$2

scripts/setup-debian.sh clang libclang-rt-14-dev
cmake --preset fuzz
cmake --build --preset fuzz --parallel

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs one target and prints its last status line: executions, coverage
# (cov: edges, ft: features) and executions per second.
run() {
    local target=$1 corpus=$work/$1 crashes=build/fuzz/crashes/$1
    mkdir -p "$corpus" "$crashes"
    cp tests/fuzz/corpus/"$target"/* "$corpus"/
    echo "== fuzzing $target for $seconds s"
    build/fuzz/tests/fuzz/feedrail-fuzz-"$target" -max_total_time="$seconds" -timeout=10 \
        -print_final_stats=1 -artifact_prefix="$crashes"/ "$corpus" 2>"$work/$target.log" ||
        { tail -n 60 "$work/$target.log"; echo "fuzz target $target failed" >&2; return 1; }
    grep -E '^#[0-9]+' "$work/$target.log" | tail -n 1 | sed "s/^/$target: /"
}

for target in "${chosen[@]}"; do
    run "$target"
done
