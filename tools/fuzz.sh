#!/usr/bin/env bash
# Runs the fuzz targets for longer than the test run does.
#   tools/fuzz.sh [seconds per target] [target ...]
# Targets: ini certify registry_value registry_file video_link portal_address
# ansi (all when none is named). What a run finds is kept in
# build/hardening/tests/fuzz/long/<target>; an input that fails is written
# beside it as <target>-crash-... : add it to tests/fuzz/corpus/<target>/ with
# the fix.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(ini certify registry_value registry_file video_link portal_address ansi)

build=$("$root/tools/hardening-build.sh")
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
for target in "${targets[@]}"; do
  kept="$build/tests/fuzz/long/$target"
  mkdir -p "$kept"
  echo "== $target: $seconds s"
  log="$build/tests/fuzz/$target.log"
  rc=0
  "$build/tests/fuzz/${target}_fuzz" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$build/tests/fuzz/$target-" "$kept" "$root/tests/fuzz/corpus/$target" >"$log" 2>&1 || rc=$?
  grep -E "(DONE|==[0-9]+==|SUMMARY|stat::(number_of_executed_units|peak_rss_mb|new_units_added))|check failed" "$log" || true
  [ $rc -eq 0 ] || { echo "$target: failed, see $log"; status=1; }
done
exit $status
