# Turns bench/run's figures into its Markdown table.
# Usage: awk -F'\t' -f table.awk ROWS FIGURES
# ROWS, one row of the table a line:
#   lower|higher  KEY  LABEL  UNIT  DECIMALS  SUBJECT  PEER[,PEER...]  RATIO-TO (a peer, or best)
#   list          KEY  LABEL  UNIT  DECIMALS  SUBJECT  FILES
#   text          -    LABEL  TUNELIFT-CELL  PEERS-CELL  RATIO-CELL
# FIGURES, one measurement a line: KEY  ROUND  SUBJECT  VALUE.
# A cell is the median and, in brackets, the lowest and highest of the rounds. The ratio is
# the subject's value over its peer's in the same round (over the best peer's of that round
# when RATIO-TO is "best"), as the median and range of those ratios.

function sort_numbers(values, n,    i, j, swap) {
  for (i = 2; i <= n; i++) {
    for (j = i; j > 1 && values[j - 1] > values[j]; j--) {
      swap = values[j]; values[j] = values[j - 1]; values[j - 1] = swap
    }
  }
}

# Sets stat["median"], stat["low"], stat["high"] from values[1..n]; returns n.
function summarise(values, n) {
  sort_numbers(values, n)
  stat["low"] = values[1]
  stat["high"] = values[n]
  stat["median"] = n % 2 ? values[(n + 1) / 2] : (values[n / 2] + values[n / 2 + 1]) / 2
  return n
}

function cell(key, who, unit, decimals,    round, n, values) {
  n = 0
  for (round = 1; round <= rounds; round++) {
    if ((key, round, who) in figure) {
      values[++n] = figure[key, round, who]
    }
  }
  if (n == 0) {
    return ""
  }
  summarise(values, n)
  return sprintf("%." decimals "f %s (%." decimals "f–%." decimals "f)", stat["median"], unit,
                 stat["low"], stat["high"])
}

function shown(who) {
  if (who in name) {
    return name[who]
  }
  return who
}

# The same-round ratios of `who` over `against` (or over the best of `peers`).
function ratio_cell(key, who, against, peers, npeers, better,    round, n, i, best, v, values) {
  n = 0
  for (round = 1; round <= rounds; round++) {
    if (!((key, round, who) in figure)) {
      continue
    }
    best = ""
    for (i = 1; i <= npeers; i++) {
      if (against != "best" && peers[i] != against) {
        continue
      }
      if (!((key, round, peers[i]) in figure)) {
        continue
      }
      v = figure[key, round, peers[i]]
      if (best == "" || (better == "higher" ? v > best : v < best)) {
        best = v
      }
    }
    if (best != "" && best > 0) {
      values[++n] = figure[key, round, who] / best
    }
  }
  if (n == 0) {
    return "—"
  }
  summarise(values, n)
  return sprintf("%.2f (%.2f–%.2f)", stat["median"], stat["low"], stat["high"])
}

BEGIN {
  name["tunelift"] = "Tunelift"
  name["bare_window"] = "bare Qt window"
  name["ftp_exe"] = "ftp.exe"
  name["stagefile"] = "StageFile"
  name["cp"] = "`cp`"
  name["cp_sync"] = "`cp` + `sync`"
  name["lftp_p4"] = "lftp `mput -P 4`"
  print "| figure | Tunelift | peers, same rounds | ratio |"
  print "|---|---|---|---|"
}

FNR == NR {
  rows[++nrows] = $0
  next
}

{
  figure[$1, $2, $3] = $4
  if ($2 > rounds) {
    rounds = $2
  }
}

END {
  for (r = 1; r <= nrows; r++) {
    split(rows[r], f, "\t")
    type = f[1]; key = f[2]; label = f[3]
    if (type == "text") {
      if (f[4] == "") {
        continue  # not taken in this run
      }
      printf "| %s | %s | %s | %s |\n", label, f[4], f[5], f[6]
      continue
    }
    unit = f[4]; decimals = f[5]; who = f[6]
    mine = cell(key, who, unit, decimals)
    if (mine == "") {
      continue  # not taken in this run (a cold start where the cache cannot be dropped)
    }
    if (type == "list") {
      split(cell(key, who, unit, decimals), parts, " ")
      printf "| %s | %s | — | %.2f %s per file |\n", label, mine, parts[1] / f[7], unit
      continue
    }
    npeers = split(f[7], peers, ",")
    others = ""
    for (i = 1; i <= npeers; i++) {
      others = others (i > 1 ? "; " : "") shown(peers[i]) ": " cell(key, peers[i], unit, decimals)
    }
    printf "| %s | %s | %s | %s |\n", label, mine, others, ratio_cell(key, who, f[8], peers, npeers, type)
  }
}
