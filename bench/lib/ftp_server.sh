# vsftpd for bench/run: a local account made for the run, the server in the foreground on
# 127.0.0.1 from bench/vsftpd.conf, both gone again at the end. Sourced, not run.
# Sets: ftp_user, ftp_password, ftp_port, ftp_home (where uploads land), ftp_log.

ftp_server_pid=
ftp_user=

# Sets range_low and range_high to a range of $1 TCP ports on which nothing listens or
# connects, below the kernel's ephemeral range, so that no connection another program opens
# can take one of them while the run needs it.
free_port_range() {
  local size=$1 low high try
  read -r low high </proc/sys/net/ipv4/ip_local_port_range
  for try in 1 2 3 4 5 6 7 8 9 10; do
    range_low=$((10000 + RANDOM % (low - 10000 - size)))
    range_high=$((range_low + size - 1))
    if [ -z "$(ss -Htan "( sport >= :$range_low and sport <= :$range_high )")" ]; then
      return 0
    fi
  done
  fail "no free range of $size ports below $low"
}

start_ftp_server() {
  ftp_user="tlbench$$"
  ftp_password=$(head -c 12 /dev/urandom | base64 | tr -dc 'A-Za-z0-9')
  ftp_home="$work/ftp-home"
  ftp_log="$work/vsftpd.log"
  mkdir -p "$ftp_home" "$work/vsftpd-empty"
  # pam_shells wants a shell from /etc/shells; the account lives only as long as the run.
  $sudo useradd --no-create-home --home-dir "$ftp_home" --shell /bin/sh "$ftp_user" ||
    fail "cannot make the local account $ftp_user"
  # A quick hash: Debian's yescrypt costs the server a quarter of a second at every login,
  # the same for every client, which would only blur the comparison.
  echo "$ftp_user:$ftp_password" | $sudo chpasswd --crypt-method SHA512 ||
    fail "cannot set the account's password"
  $sudo chown "$ftp_user" "$ftp_home"
  # vsftpd reads only a configuration file owned by the user it runs as.
  $sudo install -m 0644 bench/vsftpd.conf "$work/vsftpd.conf"

  free_port_range 1
  ftp_port=$range_low
  # Passive ports for the data connections: a thousand files in a row need many.
  free_port_range 500
  $sudo /usr/sbin/vsftpd "$work/vsftpd.conf" \
    "-olisten_port=$ftp_port" "-opasv_min_port=$range_low" "-opasv_max_port=$range_high" \
    "-ovsftpd_log_file=$ftp_log" "-osecure_chroot_dir=$work/vsftpd-empty" \
    >"$work/logs/vsftpd.out" 2>&1 &
  ftp_server_pid=$!
  local i
  for i in $(seq 100); do
    [ -n "$(ss -Hltn "sport = :$ftp_port" 2>/dev/null)" ] && return 0
    kill -0 "$ftp_server_pid" 2>/dev/null ||
      fail "vsftpd did not start: $(cat "$work/logs/vsftpd.out")"
    sleep 0.1
  done
  fail "vsftpd does not listen on 127.0.0.1:$ftp_port"
}

stop_ftp_server() {
  if [ -n "$ftp_server_pid" ]; then
    $sudo kill -TERM "$ftp_server_pid" 2>/dev/null || true
    wait "$ftp_server_pid" 2>/dev/null || true
    ftp_server_pid=
  fi
  if [ -n "$ftp_user" ]; then
    $sudo userdel "$ftp_user" 2>/dev/null || true
    ftp_user=
  fi
}

# The lines vsftpd has logged since byte $1 of its log: "COUNT VERB" for each command.
commands_since() {
  $sudo tail -c "+$(($1 + 1))" "$ftp_log" |
    sed -n 's/.*FTP command: Client "[^"]*", "\([A-Za-z]*\).*/\1/p' |
    tr 'a-z' 'A-Z' | sort | uniq -c
}

log_size() {
  $sudo stat -c %s "$ftp_log" 2>/dev/null || echo 0
}
