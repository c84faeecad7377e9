# Uploads: ftp.exe on a script in the tool's dialect against curl -T "{a,b,...}" (one
# connection) and lftp mput, all in binary mode to the same vsftpd, on three sets of files.
# Every upload is checked byte for byte, and the commands each client sent are counted in
# the server's log. Sourced, not run. Needs the FTP server (ftp_server.sh), $bin, $rounds.

upload_sets=()
for set in big medium small; do
  wanted "upload_$set" && upload_sets+=("$set")
done
declare -A set_count=([big]=1 [medium]=200 [small]=1000)
declare -A set_file_bytes=([big]=$((512 << 20)) [medium]=$((1 << 20)) [small]=$((10 << 10)))

# The sets' files are incompressible, named as songs are, each set in a folder "temp" as
# Tunelift stages them; checksums beside them.
make_upload_sets() {
  local set folder
  for set in "${upload_sets[@]}"; do
    folder="$work/sets/$set/temp"
    mkdir -p "$folder"
    head -c "$((set_count[$set] * set_file_bytes[$set]))" /dev/urandom >"$work/sets/$set/all"
    split --bytes="${set_file_bytes[$set]}" --numeric-suffixes --suffix-length=4 \
      --additional-suffix=.mp3 "$work/sets/$set/all" "$folder/song"
    rm "$work/sets/$set/all"
    (cd "$folder" && sha256sum -- *.mp3) >"$work/sets/$set.sha256"
    cat "$folder"/*.mp3 >/dev/null  # every client reads from the page cache
  done
}

# The script Tunelift writes, with the bench's server and account.
write_upload_script() {
  printf '%s\r\n' prompt "open 127.0.0.1 $ftp_port" "$ftp_user" "$ftp_password" binary \
    'mput temp\*.mp3' bye >"$work/upload.ftps"
  chmod 0600 "$work/upload.ftps"
}

upload_with() {
  local client=$1 set=$2 names
  case $client in
    ftp_exe)
      in_folder "$work/sets/$set" "$bin/ftp.exe" "-s:$work/upload.ftps" ;;
    curl)
      names=$(cd "$work/sets/$set/temp" && printf '%s,' *.mp3)
      in_folder "$work/sets/$set/temp" curl --silent --show-error --user "$ftp_user:$ftp_password" \
        --upload-file "{${names%,}}" "ftp://127.0.0.1:$ftp_port/" ;;
    lftp)
      in_folder "$work/sets/$set/temp" lftp -c "set cmd:fail-exit yes; set net:max-retries 1;
        open -u $ftp_user,$ftp_password -p $ftp_port 127.0.0.1; mput *.mp3" ;;
  esac
}

# Fails the run unless the server holds exactly the set's files, byte for byte; then empties
# the server's folder for the next upload.
check_and_clear_upload() {
  local what=$1 set=$2 received
  received=$(find "$ftp_home" -maxdepth 1 -type f | wc -l)
  [ "$received" -eq "${set_count[$set]}" ] ||
    fail "$what: the server holds $received files, not ${set_count[$set]}"
  (cd "$ftp_home" && sha256sum --check --quiet --strict "$work/sets/$set.sha256") \
    >"$work/logs/check.log" 2>&1 || fail "$what arrived wrong: $(head -3 "$work/logs/check.log")"
  $sudo find "$ftp_home" -mindepth 1 -delete
}

# "N.NN (VERB, VERB)": the commands per file of one upload of $2 files, and the verbs sent
# once for every file; from the counts commands_since printed ($1).
commands_per_file() {
  awk -v files="$2" '
    { total += $1; if ($1 >= files) verbs = verbs (verbs == "" ? "" : ", ") $2 }
    END { printf "%.2f (%s)", total / files, verbs }' <<<"$1"
}

measure_uploads() {
  say "uploads: $rounds rounds of ftp.exe, curl and lftp on the sets: ${upload_sets[*]}"
  make_upload_sets
  write_upload_script
  local round set client offset seconds bytes
  for ((round = 1; round <= rounds; round++)); do
    for set in "${upload_sets[@]}"; do
      for client in $(rotated "$round" ftp_exe curl lftp); do
        offset=$(log_size)
        timed "upload-$client-$set-$round" upload_with "$client" "$set"
        check_and_clear_upload "$client's upload of the $set set" "$set"
        bytes=$((set_count[$set] * set_file_bytes[$set]))
        if [ "$set" = small ]; then
          record "upload_$set" "$round" "$client" "$(awk -v n="${set_count[$set]}" -v us="$elapsed_us" 'BEGIN { printf "%.1f", n / (us / 1e6) }')"
        else
          record "upload_$set" "$round" "$client" "$(awk -v b="$bytes" -v us="$elapsed_us" 'BEGIN { printf "%.1f", b / us }')"
        fi
        if [ "$set" = small ] && [ "$round" -eq 1 ]; then
          sleep 0.2  # the server logs the goodbye after the client has heard it
          commands_per_file "$(commands_since "$offset")" "${set_count[$set]}" >"$work/commands-$client"
        fi
      done
    done
  done
}
