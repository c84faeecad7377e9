# What the tries of the Linux and the Windows package share (sourced by bash):
# tests/linux/try-linux-package and tests/wine/try-windows-package.

failed=0
# Runs the test `condition` (evaluated) and says "ok" or "FAILED" with `what`.
check() {
  if eval "$1"; then echo "  ok: $2"; else echo "  FAILED: $2"; failed=1; fi
}

# Unpacks the package `archive` (.tar.gz or .zip) into the new folder `folder`.
unpack() {
  mkdir -p "$2"
  (cd "$2" && cmake -E tar xf "$1")
}

# Starts the tests' FTP server (pyftpdlib, on 127.0.0.1) receiving into `root` and logging its
# commands to `log`; sets `server` to its process and `port` to its port.
start_ftp_server() {
  local root=$1 log=$2 port_file
  port_file=$(dirname "$log")/server.port
  /usr/bin/python3 "$checkout/tests/support/ftp_test_server.py" --root "$root" --log "$log" \
    >"$port_file" &
  server=$!
  for _ in $(seq 100); do
    grep -q '^PORT ' "$port_file" && break
    kill -0 "$server" 2>/dev/null || { echo "The test FTP server did not start." >&2; exit 1; }
    sleep 0.1
  done
  port=$(sed -n 's/^PORT //p' "$port_file")
  [ -n "$port" ] || { echo "The test FTP server gave no port." >&2; exit 1; }
}

# Prints the path of the first send report in `folder` once it holds its end record (60 s at
# most); prints nothing when none did by then. A report whose send the window has told is
# renamed *.report.told, which may be before it is first looked at.
wait_for_report_end() {
  local report
  for _ in $(seq 600); do
    for report in "$1"/sendfiles-*.report "$1"/sendfiles-*.report.told; do
      if [ -f "$report" ] && tail -n 1 "$report" | grep -q '^end	'; then
        echo "$report"
        return
      fi
    done
    sleep 0.1
  done
}
