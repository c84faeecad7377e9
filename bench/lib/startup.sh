# Start-up and weight: Tunelift against a bare Qt window with the same controls, on a private
# Xvfb. The end point is the window's MapNotify as map_timer sees it; the resident memory is
# read 3 s later. Cold rounds drop the page cache first, where the kernel allows it.
# Sourced, not run. Needs $bin (built programs), $rounds.

xvfb_pid=

start_xvfb() {
  local number_file="$work/display-number"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$number_file" \
    >"$work/logs/xvfb.log" 2>&1 &
  xvfb_pid=$!
  local i
  for i in $(seq 100); do
    [ -s "$number_file" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb did not start: $(cat "$work/logs/xvfb.log")"
    sleep 0.1
  done
  [ -s "$number_file" ] || fail "Xvfb gave no display number"
  display=":$(cat "$number_file")"
}

stop_xvfb() {
  if [ -n "$xvfb_pid" ]; then
    kill -TERM "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=
  fi
}

# Both programs run from copies in one folder of the run: Tunelift makes its staging folder
# and script beside itself, and a cold start reads both from the same disk.
prepare_window_programs() {
  mkdir -p "$work/app" "$work/xdg-runtime"
  chmod 0700 "$work/xdg-runtime"
  cp "$bin/tunelift" "$work/app/tunelift"
  cp "$bin/bare_window" "$work/app/bare_window"
}

# Shows program $1 once and records its figures under $2 (cold or warm) for round $3.
show_window() {
  local subject=$1 temperature=$2 round=$3 result
  result=$(env DISPLAY="$display" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/xdg-runtime" \
    "$bin/map_timer" 3 "$work/app/$subject" 2>>"$work/logs/map_timer.log") ||
    fail "could not time $subject's window ($temperature); see $work/logs/map_timer.log"
  local map_ms=${result#map_ms=}
  map_ms=${map_ms%% *}
  local rss_kib=${result##*rss_kib=}
  [ "$round" -gt 0 ] || return 0  # a warm-up run
  record "map_$temperature" "$round" "$subject" "$map_ms"
  record "rss_$temperature" "$round" "$subject" "$(awk -v k="$rss_kib" 'BEGIN { printf "%.1f", k / 1024 }')"
}

measure_startup() {
  say "start-up and memory: $rounds rounds, each program cold and warm"
  prepare_window_programs
  start_xvfb
  cold=true
  drop_page_cache || {
    cold=false
    say "the page cache cannot be dropped here: warm start-ups only"
  }
  local round subject
  for subject in tunelift bare_window; do  # fills the font and library caches once
    show_window "$subject" warmup 0
  done
  for ((round = 1; round <= rounds; round++)); do
    for subject in $(rotated "$round" tunelift bare_window); do
      if $cold; then
        drop_page_cache || fail "the page cache could be dropped once, then no more"
        show_window "$subject" cold "$round"
      fi
      show_window "$subject" warm "$round"
    done
  done
  stop_xvfb
}
