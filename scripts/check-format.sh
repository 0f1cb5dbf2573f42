#!/usr/bin/env bash
# Checks that every tracked C++ file is formatted as .clang-format says (Debian 12's clang-format,
# version 14, installed with the test packages). Usage: check-format.sh [SOURCE_DIR]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
