#!/usr/bin/env bash
# Fails, naming the files, when a tracked source differs from .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-debian.sh clang-format
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
