#!/usr/bin/env bash
# Fails when a C++ file of the tree differs from the house style that
# .clang-format describes; `clang-format -i FILE` mends one.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
echo "check-format: every C++ file keeps the house style"
