# The list: one refresh of the window's file list with 10, 1,000 and 10,000 staged files, in
# process with Google Benchmark (bench/list_bench.cpp), its repetitions interleaved.
# Sourced, not run. Needs $bin, $rounds.

measure_list() {
  say "list refresh: $rounds repetitions with 10, 1,000 and 10,000 files"
  XDG_RUNTIME_DIR="$work/xdg-runtime" "$bin/list_bench" --benchmark_repetitions="$rounds" \
    --benchmark_enable_random_interleaving=true \
    --benchmark_out="$work/list.csv" --benchmark_out_format=csv >"$work/logs/list_bench.log" 2>&1 ||
    fail "the list benchmark failed; see $work/logs/list_bench.log"
  # Rows "BM_ListRefresh/N",iterations,real_time,cpu_time,"us",...; aggregates have suffixes.
  awk -F, '
    $1 ~ /^"BM_ListRefresh\/[0-9]+"$/ {
      n = $1; gsub(/[^0-9]/, "", n); round[n]++
      printf "list_%s\t%d\ttunelift\t%.1f\n", n, round[n], $3
    }
    $1 == "\"BM_ListRefresh_BigO\"" { fit = $5 }
    $1 == "\"BM_ListRefresh_RMS\"" { rms = $3 }
    END { printf "O(%s), RMS %.0f %%\n", fit, 100 * rms > "'"$work/list-fit"'" }' \
    "$work/list.csv" >>"$figures"
  [ "$(grep -c '^list_' "$figures")" -ge $((3 * rounds)) ] ||
    fail "the list benchmark gave too few figures; see $work/list.csv"
}
