#!/usr/bin/env bash
# scripts/bench.sh over a build folder of stand-in benchmarks, each writing a JSON report with
# the label its case is given: the script passes when every identity check found its results
# identical and fails, naming the benchmark, when one reports a difference.
#   bash benchscript_test.sh SOURCE-TREE WORK-FOLDER
set -euo pipefail
source_tree="$1"
work="$2"
# A stand-in benchmark whose one case carries the label.
stand_in() {
  cat >"$work/build/bench/$1_bench" <<SCRIPT
#!/usr/bin/env bash
for argument in "\$@"; do
  case "\$argument" in --benchmark_out=*) out="\${argument#--benchmark_out=}" ;; esac
done
printf '{"benchmarks": [{"name": "Case", "error_occurred": false, "label": "%s"}]}\n' "$2" >"\$out"
SCRIPT
  chmod +x "$work/build/bench/$1_bench"
}
failures=0
# Case: labels of the stand-ins; whether bench.sh passes; what its error output names.
while IFS='|' read -r labels passes named; do
  rm -rf "$work" && mkdir -p "$work/build/bench"
  index=0
  IFS=';' read -ra each <<<"$labels"
  for label in "${each[@]}"; do
    index=$((index + 1))
    stand_in "case$index" "$label"
  done
  status=0
  bash "$source_tree/scripts/bench.sh" "$work/build" >"$work/out.txt" 2>"$work/err.txt" || status=$?
  if { [ "$passes" = yes ] && [ "$status" -ne 0 ]; } ||
    { [ "$passes" = no ] && [ "$status" -eq 0 ]; } ||
    { [ -n "$named" ] && ! grep -qF "$named" "$work/err.txt"; }; then
    echo "FAILED: labels \"$labels\": exit $status, error output: $(cat "$work/err.txt")"
    failures=$((failures + 1))
  fi
done <<'CASES'
frames identical;identical|yes|
frames identical;frames DIFFER|no|case2_bench (a difference reported)
DIFFERENT, first: record 3|no|case1_bench (a difference reported)
x1.9 of a scan of folded strings|yes|
CASES
rm -rf "$work"
[ "$failures" -eq 0 ] && echo "bench.sh: every case as expected"
