# The slow link: 30 × 100 KiB to a server 50 ms away, as a sender at home sees one. The
# server is the tests' pyftpdlib (tests/support/ftp_test_server.py) on 127.0.0.1, holding each
# reply back 50 ms; ftp.exe against curl (one connection), lftp mput and lftp mput -P 4. Every
# upload is checked byte for byte, and the replies each client waited for are counted in the
# server's log. Sourced, not run. Needs $bin, $rounds, $work and upload.sh's helpers.

slow_count=30
slow_file_bytes=$((100 << 10))
slow_delay_ms=50
slow_server_pid=
# The test server's own account (see tests/support/ftp_test_server.py).
slow_user=DeckHopper
slow_password=MovingTracks

start_slow_server() {
  slow_home="$work/slow-home"
  slow_log="$work/slow-commands.log"
  mkdir -p "$slow_home"
  : >"$slow_log"
  coproc slow_server { exec /usr/bin/python3 tests/support/ftp_test_server.py \
    --root "$slow_home" --log "$slow_log" --reply-delay "$slow_delay_ms" \
    2>"$work/logs/slow-server.err"; }
  slow_server_pid=$slow_server_PID
  local line
  read -r -t 10 line <&"${slow_server[0]}" || fail "the slow-link server did not start: $(cat "$work/logs/slow-server.err")"
  [[ $line == "PORT "* ]] || fail "the slow-link server said: $line"
  slow_port=${line#PORT }
}

stop_slow_server() {
  if [ -n "$slow_server_pid" ]; then
    kill -TERM "$slow_server_pid" 2>/dev/null || true
    wait "$slow_server_pid" 2>/dev/null || true
    slow_server_pid=
  fi
}

make_slow_set() {
  local folder="$work/sets/slow/temp"
  mkdir -p "$folder"
  head -c "$((slow_count * slow_file_bytes))" /dev/urandom >"$work/sets/slow/all"
  split --bytes="$slow_file_bytes" --numeric-suffixes --suffix-length=4 \
    --additional-suffix=.mp3 "$work/sets/slow/all" "$folder/song"
  rm "$work/sets/slow/all"
  (cd "$folder" && sha256sum -- *.mp3) >"$work/sets/slow.sha256"
  printf '%s\r\n' prompt "open 127.0.0.1 $slow_port" "$slow_user" "$slow_password" binary \
    'mput temp\*.mp3' bye >"$work/slow.ftps"
}

slow_upload_with() {
  local client=$1 names lftp_open
  local folder="$work/sets/slow/temp"
  lftp_open="set cmd:fail-exit yes; set net:max-retries 1;
    open -u $slow_user,$slow_password -p $slow_port 127.0.0.1"
  case $client in
    ftp_exe)
      in_folder "$work/sets/slow" "$bin/ftp.exe" "-s:$work/slow.ftps" ;;
    curl)
      names=$(cd "$folder" && printf '%s,' *.mp3)
      in_folder "$folder" curl --silent --show-error --user "$slow_user:$slow_password" \
        --upload-file "{${names%,}}" "ftp://127.0.0.1:$slow_port/" ;;
    lftp)
      in_folder "$folder" lftp -c "$lftp_open; mput *.mp3" ;;
    lftp_p4)
      in_folder "$folder" lftp -c "$lftp_open; mput -P 4 *.mp3" ;;
  esac
}

check_and_clear_slow_upload() {
  local what=$1 received
  received=$(find "$slow_home" -maxdepth 1 -type f | wc -l)
  [ "$received" -eq "$slow_count" ] || fail "$what: the server holds $received files, not $slow_count"
  (cd "$slow_home" && sha256sum --check --quiet --strict "$work/sets/slow.sha256") \
    >"$work/logs/check.log" 2>&1 || fail "$what arrived wrong: $(head -3 "$work/logs/check.log")"
  find "$slow_home" -mindepth 1 -delete
}

# "N.N (C connections)": the replies a client waited for per file in its run, from the lines
# the server logged after line $1: one per command and per connection's greeting, and one more
# per STOR (its 150 and its 226). Connections waiting side by side each count.
slow_replies_per_file() {
  tail -n "+$(($1 + 1))" "$slow_log" | awk -v files="$slow_count" '
    $1 == "CONNECT" { connections++ }
    $1 == "STOR" { stores++ }
    { replies++ }
    END { printf "%.1f (%d connection%s)", (replies + stores) / files, connections,
          connections == 1 ? "" : "s" }'
}

measure_slow_link() {
  say "slow link: $rounds rounds of ftp.exe, curl, lftp mput and lftp mput -P 4 on $slow_count x 100 KiB, each reply ${slow_delay_ms} ms late"
  start_slow_server
  make_slow_set
  local round client offset
  for ((round = 1; round <= rounds; round++)); do
    for client in $(rotated "$round" ftp_exe curl lftp lftp_p4); do
      offset=$(wc -l <"$slow_log")
      timed "slow-$client-$round" slow_upload_with "$client"
      check_and_clear_slow_upload "$client's upload over the slow link"
      record upload_slow "$round" "$client" "$(awk -v us="$elapsed_us" 'BEGIN { printf "%.3f", us / 1e6 }')"
      if [ "$round" -eq 1 ]; then
        sleep 0.2  # the server logs the goodbye after the client has heard it
        slow_replies_per_file "$offset" >"$work/slow-replies-$client"
      fi
    done
  done
  stop_slow_server
}
