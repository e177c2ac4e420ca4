#!/usr/bin/env bash
# Builds the capture fuzz target with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs it for a bounded time.
# Usage: capture/fuzz/run-fuzz.sh BUILD_DIR [SECONDS]   (default 60 seconds)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
build_dir=${1:?usage: run-fuzz.sh BUILD_DIR [SECONDS]}
seconds=${2:-60}

command -v clang++ >/dev/null || { echo "run-fuzz: clang++ is not installed (apt-get install clang libclang-rt-14-dev)"; exit 1; }
mkdir -p "$build_dir"
sanitizers="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
cmake -S "$source_dir" -B "$build_dir" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTOVA_TESTS=OFF -DKESTOVA_FUZZ=ON \
  -DCMAKE_CXX_FLAGS="$sanitizers" -DCMAKE_C_FLAGS="$sanitizers" >"$build_dir/configure.log" 2>&1 ||
  { cat "$build_dir/configure.log"; exit 1; }
cmake --build "$build_dir" --target capture_fuzz -j"$(nproc 2>/dev/null || echo 2)"

# The corpus grows in the build folder; the committed seeds start it.
corpus="$build_dir/capture-fuzz-corpus"
mkdir -p "$corpus"
cd "$build_dir"
timeout $((seconds + 120)) ./capture/capture_fuzz -max_total_time="$seconds" -timeout=10 \
  -rss_limit_mb=1024 -max_len=4096 -print_final_stats=1 "$corpus" "$here/seeds"
