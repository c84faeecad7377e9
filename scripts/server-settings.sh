# The server settings a package is made for, shared by scripts/package-linux and
# scripts/package-windows (sourced by them; bash). Either options, each one key of tunelift.ini's
# [server] section, or --settings FILE, an ini to include as it is. A package made with
# neither holds no tunelift.ini, and its read-me says it is a placeholder.

settings_file=""
declare -A setting=()

settings_usage() {
  cat >&2 <<USAGE
usage: $0 [--host HOST] [--port PORT] [--user USER] [--password PASSWORD]
          [--pinned-key sha256//BASE64]
       $0 --settings FILE
  The package gets a tunelift.ini for that server ([server] section), and its read-me names it.
  With no option the package is a placeholder that sends to no one.
USAGE
  exit 2
}

refuse_settings() {
  echo "$0: $*" >&2
  exit 2
}

# Reads the command line into `setting` (keys host, port, user, password, pinned_key) or
# `settings_file`.
parse_server_settings() {
  while [ $# -gt 0 ]; do
    [ $# -ge 2 ] || settings_usage
    case $1 in
      --host | --port | --user | --password | --pinned-key)
        local key=${1#--}
        setting[${key//-/_}]=$2 ;;
      --settings) settings_file=$2 ;;
      *) settings_usage ;;
    esac
    shift 2
  done
  if [ -n "$settings_file" ]; then
    [ ${#setting[@]} -eq 0 ] || refuse_settings "--settings takes the whole ini: give it alone"
    [ -f "$settings_file" ] || refuse_settings "$settings_file is not a file"
    setting[host]=$(ini_value host <"$settings_file")
    setting[port]=$(ini_value port <"$settings_file")
    setting[user]=$(ini_value user <"$settings_file")
    [ -n "${setting[host]}" ] || refuse_settings "$settings_file names no host in its [server] section"
  elif [ ${#setting[@]} -gt 0 ]; then
    [ -n "${setting[host]:-}" ] || refuse_settings "--host is needed: the package is made for one server"
  fi
  check_server_settings
}

# The value of `key` in the [server] section of the ini on standard input (UTF-8, perhaps
# with a byte order mark, LF or CR LF lines), without the spaces around it; empty where it is
# not set.
ini_value() {
  awk -v key="$1" -v bom="$(printf '\357\273\277')" '
    NR == 1 && index($0, bom) == 1 { $0 = substr($0, length(bom) + 1) }
    { sub(/\r$/, "") }
    /^[ \t]*\[/ { section = $0; gsub(/[ \t\[\]]/, "", section); next }
    section == "server" && index($0, "=") {
      name = substr($0, 1, index($0, "=") - 1); gsub(/^[ \t]+|[ \t]+$/, "", name)
      if (name == key) {
        value = substr($0, index($0, "=") + 1); gsub(/^[ \t]+|[ \t]+$/, "", value); found = value
      }
    }
    END { print found }'
}

# What a user can get wrong on the command line is refused here, before anything is built;
# tunelift itself refuses an ini it cannot read, naming its line.
check_server_settings() {
  local key
  for key in "${!setting[@]}"; do
    # A tab or a line break would end the line in tunelift.ini and in the upload script.
    if [[ ${setting[$key]} =~ [[:cntrl:]] ]]; then
      refuse_settings "the $key holds a control character (a tab or a line break)"
    fi
  done
  local host=${setting[host]:-} port=${setting[port]:-}
  if [ -n "$host" ] && ! [[ $host =~ ^[A-Za-z0-9.-]+$ ]]; then
    refuse_settings "the host must be a plain host name or IPv4 address, got '$host'"
  fi
  if [ -n "$port" ] && { ! [[ $port =~ ^[0-9]{1,5}$ ]] || [ "$port" -lt 1 ] || [ "$port" -gt 65535 ]; }; then
    refuse_settings "the port must be a number from 1 to 65535, got '$port'"
  fi
  local pin=${setting[pinned_key]:-}
  if [ -n "$pin" ] && ! [[ $pin =~ ^sha256//[A-Za-z0-9+/=]+(\;sha256//[A-Za-z0-9+/=]+)*$ ]]; then
    refuse_settings "the pinned key must be sha256//BASE64 (several joined by ;), got '$pin'"
  fi
}

# True when the package is made for a server, with a tunelift.ini.
has_server_settings() {
  [ -n "${setting[host]:-}" ]
}

# Writes the package's tunelift.ini: the given file as it is, or the options given, in the
# order the README lists the keys, each line ended by `line_end` (LF unless given).
write_settings_ini() {
  local ini=$1 line_end=${2:-}
  if [ -n "$settings_file" ]; then
    cp "$settings_file" "$ini"
  else
    {
      printf '[server]%s\n' "$line_end"
      local key
      for key in host port user password pinned_key; do
        [ -z "${setting[$key]:-}" ] || printf '%s=%s%s\n' "$key" "${setting[$key]}" "$line_end"
      done
    } >"$ini"
  fi
  # It may hold the password.
  chmod 600 "$ini"
}

# The read-me's paragraph on the server, for a package made for `built_host` (the host the
# programs were built with) and the settings given: packaging/server-named.txt with the server
# filled in, or packaging/server-placeholder.txt.
server_paragraph() {
  local built_host=$1 host port user
  if has_server_settings; then
    host=${setting[host]} port=${setting[port]:-21} user=${setting[user]:-}
  elif [ "$built_host" != tunelift.example.net ]; then
    host=$built_host port=21 user=""
  else
    cat packaging/server-placeholder.txt
    return
  fi
  local account=""
  [ -z "$user" ] || account=", as user $(sed_escaped "$user")"
  sed -e "s/@HOST@/$host/" -e "s/@PORT@/$port/" -e "s/@ACCOUNT@/$account/" \
    packaging/server-named.txt
}

# `text` made safe for the replacement of sed's s command.
sed_escaped() {
  printf '%s' "$1" | sed 's/[\/&]/\\&/g'
}

# Copies the read-me template `template` to `out` with its line "@SERVER@" replaced by the
# server's paragraph.
write_read_me() {
  local template=$1 built_host=$2 out=$3 paragraph
  paragraph=$(mktemp)
  server_paragraph "$built_host" >"$paragraph"
  sed -e "/^@SERVER@\$/{r $paragraph" -e 'd}' "$template" >"$out"
  rm -f "$paragraph"
}
