# Staging: StageFile (through bench's stage_file, as Browse calls it) of a 512 MiB file against
# cp, and against cp followed by sync of the copy, all on the same file system, with the
# source in the page cache. Each copy starts with no destination and nothing else waiting to
# be written. Sourced, not run. Needs the big upload set (upload.sh), $bin, $rounds.

stage_with() {
  local how=$1 source=$2
  case $how in
    stagefile) "$bin/stage_file" "$work/stage/app" "$source" ;;
    cp) cp "$source" "$work/stage/cp/song.mp3" ;;
    cp_sync) cp "$source" "$work/stage/cp/song.mp3" && sync "$work/stage/cp/song.mp3" ;;
  esac
}

measure_staging() {
  say "staging: $rounds rounds of StageFile, cp and cp + sync on a 512 MiB file"
  local source="$work/sets/big/temp/song0000.mp3"
  mkdir -p "$work/stage/app/temp" "$work/stage/cp"
  cat "$source" >/dev/null
  local round how
  for ((round = 1; round <= rounds; round++)); do
    for how in $(rotated "$round" stagefile cp cp_sync); do
      rm -f "$work/stage/app/temp/song0000.mp3" "$work/stage/cp/song.mp3"
      sync
      timed "stage-$how-$round" stage_with "$how" "$source"
      record staging "$round" "$how" "$(awk -v us="$elapsed_us" 'BEGIN { printf "%.3f", us / 1e6 }')"
      if [ "$how" = stagefile ]; then
        cmp "$source" "$work/stage/app/temp/song0000.mp3" ||
          fail "StageFile's copy differs from the chosen file"
      fi
    done
  done
  rm -rf "$work/stage"
}
