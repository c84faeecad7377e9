# Shared by bench/run's parts: privileges, failing with a reason, timing and the figures file.
# Sourced, not run. Expects $work (the run's scratch folder) and $figures (its figures file).

if [ "$(id -u)" -eq 0 ]; then
  sudo=
else
  sudo=sudo
fi

# Ends the run: a figure could not be taken or an upload arrived wrong.
fail() {
  echo "bench: $*" >&2
  exit 1
}

say() {
  echo "bench: $*" >&2
}

# Runs a command and sets $elapsed_us to how long it took on the wall clock, in microseconds;
# fails the run if the command fails. Its output goes to $work/logs/WHAT.log.
# Usage: timed WHAT COMMAND...
timed() {
  local what=$1
  shift
  local start=${EPOCHREALTIME//[.,]/}
  "$@" >"$work/logs/$what.log" 2>&1 || fail "$what failed (exit $?); see $work/logs/$what.log"
  local end=${EPOCHREALTIME//[.,]/}
  elapsed_us=$((end - start))
}

# Runs COMMAND in FOLDER, leaving the caller's current directory alone.
in_folder() {
  local folder=$1
  shift
  (cd "$folder" && exec "$@")
}

# Records one figure: the figure's key, the round, who was measured and the value.
record() {
  printf '%s\t%s\t%s\t%s\n' "$1" "$2" "$3" "$4" >>"$figures"
}

# The order in which the subjects run in round $1: rotated each round, so that none always
# goes first (or always follows the same one) on a machine whose load drifts.
rotated() {
  local round=$1
  shift
  local subjects=("$@")
  local count=${#subjects[@]}
  local i
  for ((i = 0; i < count; i++)); do
    echo "${subjects[$(((round + i) % count))]}"
  done
}

# Drops the page cache, where this kernel lets the run do it; returns non-zero where not.
drop_page_cache() {
  sync
  $sudo sh -c 'echo 3 >/proc/sys/vm/drop_caches' 2>/dev/null
}
