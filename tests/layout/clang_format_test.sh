#!/usr/bin/env bash
# Every C and C++ file in the repository is laid out as .clang-format says:
#   tests/layout/clang_format_test.sh SOURCE_DIR
set -euo pipefail
cd "$1"
git ls-files -z '*.cpp' '*.h' '*.c' | xargs -0 clang-format --dry-run --Werror
echo "$(git ls-files '*.cpp' '*.h' '*.c' | wc -l) files laid out as .clang-format says"
