#!/usr/bin/env bash
# Builds the fuzz harnesses (clang, libFuzzer, AddressSanitizer, UBSan) and runs each of them for
# SECONDS (default 60), two at a time. Prints per harness the executions, the coverage (cov and
# ft of libFuzzer's last line) and the findings; ends non-zero when any harness found something.
#
#   scripts/fuzz.sh [SECONDS]
#
# Environment: FUZZ_BUILD_DIR (default build-fuzz), FUZZ_JOBS (harnesses at once, default 2),
# FUZZ_ONLY (a pattern: run only the harnesses whose name matches), FUZZ_FRESH=1 (start from the
# seed corpus alone instead of what earlier runs found). Inputs that make a harness fail land in
# $FUZZ_BUILD_DIR/fuzz-findings/<harness>/; new corpus entries in $FUZZ_BUILD_DIR/fuzz-corpus/.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
seconds=${1:-60}
build=${FUZZ_BUILD_DIR:-build-fuzz}
jobs=${FUZZ_JOBS:-2}

if [ ! -f "$build/build.ninja" ] || ! grep -q '^MODLINK_FUZZ:BOOL=ON' "$build/CMakeCache.txt"; then
  CC=${CC:-clang-14} CXX=${CXX:-clang++-14} \
    cmake -S . -B "$build" -G Ninja -DMODLINK_FUZZ=ON >/dev/null
fi
nice -n 5 cmake --build "$build" -j2 --target modlink_fuzzers

results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT

# run_one NAME SEEDS: one harness for $seconds; writes its summary line into $results/NAME.
run_one() {
  local name=$1 seeds=$2
  local work="$build/fuzz-corpus/$name" findings="$build/fuzz-findings/$name"
  if [ "${FUZZ_FRESH:-0}" = 1 ]; then
    work="$results/corpus-$name"
  fi
  mkdir -p "$work" "$findings"
  local log="$build/fuzz-logs/$name.log"
  mkdir -p "$(dirname "$log")"
  local before
  before=$(find "$findings" -type f | wc -l)
  # The work folder comes first: libFuzzer adds what it finds there and leaves the seeds alone.
  local folders=("$work")
  if [ -d "$seeds" ]; then
    folders+=("$seeds")
  fi
  set +e
  "$build/bin/$name" "${folders[@]}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$findings/" >"$log" 2>&1
  local status=$?
  set -e
  local after execs cov ft
  after=$(find "$findings" -type f | wc -l)
  # A harness that fails while loading its seeds prints no coverage at all.
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1 || true)
  cov=$( (grep -Eo 'cov: [0-9]+' "$log" || true) | tail -1 | cut -d' ' -f2)
  ft=$( (grep -Eo 'ft: [0-9]+' "$log" || true) | tail -1 | cut -d' ' -f2)
  local found=$((after - before))
  if [ "$status" -ne 0 ] && [ "$found" -eq 0 ]; then
    found=1   # a failure without an artifact (a crash while loading the seeds, say)
  fi
  printf '%-28s execs %10s  cov %6s  ft %7s  findings %s\n' "$name" "${execs:-?}" "${cov:-?}" \
    "${ft:-?}" "$found" >"$results/$name"
  if [ "$found" -ne 0 ]; then
    printf '    log: %s\n' "$log" >>"$results/$name"
    find "$findings" -type f -newer "$results/start" | sed 's/^/    /' >>"$results/$name"
  fi
}

touch "$results/start"
names=()
while IFS=$'\t' read -r name seeds; do
  [ -n "$name" ] || continue
  if [ -n "${FUZZ_ONLY:-}" ] && [[ "$name" != *${FUZZ_ONLY}* ]]; then
    continue
  fi
  names+=("$name")
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do
    wait -n || true
  done
  run_one "$name" "$seeds" &
done <"$build/fuzzers.txt"
wait

failed=0
for name in "${names[@]}"; do
  if [ ! -f "$results/$name" ]; then
    printf '%-28s did not report (see %s)\n' "$name" "$build/fuzz-logs/$name.log"
    failed=1
  elif grep -q 'findings [1-9]' "$results/$name"; then
    cat "$results/$name"
    failed=1
  else
    cat "$results/$name"
  fi
done
echo "fuzz: ${#names[@]} harnesses, ${seconds} s each"
exit $failed
