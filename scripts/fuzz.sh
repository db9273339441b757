#!/usr/bin/env bash
# Builds the libFuzzer harnesses of fuzz/ (preset "fuzz") and runs each for
# SECONDS seconds (default 30), starting from its seed corpus. Does nothing
# when clang's fuzzer runtime is not installed. Fails on the first crash,
# sanitizer report or broken property, and names the input that caused it
# (add that input to fuzz/corpus/<name>/ once the fault is mended).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' > "$probe/p.cpp"
if ! clang++-14 -fsanitize=fuzzer "$probe/p.cpp" -o "$probe/p" 2>/dev/null; then
  echo "fuzz.sh: clang's fuzzer runtime is not installed; fuzzing skipped"
  exit 0
fi
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
symbolizer=/usr/lib/llvm-14/bin/llvm-symbolizer
[ -x "$symbolizer" ] && export ASAN_SYMBOLIZER_PATH=$symbolizer
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# One harness per seed corpus.
for dir in fuzz/corpus/*/; do
  name=$(basename "$dir")
  harness=build-fuzz/fuzz/fuzz_$name
  work="$probe/$name"
  mkdir -p "$work/corpus" "$work/found"
  echo "fuzz.sh: $name for ${seconds}s"
  # New inputs go to the scratch corpus; the seeds in the tree stay as they are.
  if ! "$harness" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=1024 \
       -print_final_stats=1 -artifact_prefix="$work/found/" "$work/corpus" "fuzz/corpus/$name" \
       > "$work/log" 2>&1; then
    tail -n 40 "$work/log"
    mkdir -p build-fuzz/found
    cp "$work"/found/* build-fuzz/found/ 2>/dev/null || true
    echo "fuzz.sh: $name failed; the input is in build-fuzz/found/"
    exit 1
  fi
  grep -E '^stat::number_of_executed_units|^Done' "$work/log" || true
done
