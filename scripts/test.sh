#!/usr/bin/env bash
# Builds everything and runs every test; exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
# clang and its runtime for the decoder's fuzzer, xxd for the benchmark's comparison.
bash scripts/deps.sh clang libclang-rt-14-dev xxd
bash scripts/build.sh
cd "${BUILD_DIR:-build}"
ctest --output-on-failure --timeout 900
