#!/usr/bin/env bash
# Builds the libFuzzer target with clang, in a build folder of its own and nothing but that target, and runs
# it for a fixed time, so that the target keeps building and the 4.x file reader keeps standing up to any
# bytes. Called by the README's test command (and so by .ci/run). A finding stops with the fuzzer's report
# and leaves the input that caused it in build-fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKEYVALE_FUZZ=ON >/dev/null
cmake --build build-fuzz -j2 --target fuzz_oldkeyvale
mkdir -p build-fuzz/corpus
./build-fuzz/fuzz_oldkeyvale -max_total_time=30 -print_final_stats=1 -artifact_prefix=build-fuzz/ build-fuzz/corpus
