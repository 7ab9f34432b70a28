# Turns bench/run's results into the table.  Lines are either
#   input program round wall cpu rss_kib read written
#   size input bytes
#   instructions floor korven records
# Variables: runs, load (s), mask (bytes), mib.

function median(list,    a, i, j, t, k) {
  k = split(list, a, " ")
  for (i = 2; i <= k; i++)
    for (j = i; j > 1 && a[j - 1] + 0 > a[j] + 0; j--) {
      t = a[j]; a[j] = a[j - 1]; a[j - 1] = t
    }
  return k % 2 ? a[(k + 1) / 2] : (a[k / 2] + a[k / 2 + 1]) / 2
}

function verdict(ok) { return ok ? "held" : "MISSED" }

# Median over the rounds of korven's figure over the floor's of that round.
function ratio(inp, prog, f,    r, list) {
  list = ""
  for (r = 1; r <= runs; r++)
    list = list " " f[inp, prog, r] / f[inp, "floor", r]
  return median(list)
}

$1 == "size" { size[$2] = $3; next }
$1 == "instructions" { ir_floor = $2; ir_korven = $3; ir_records = $4; next }

{
  key = $1 SUBSEP $2
  wall[key] = wall[key] " " $4
  cpu[key] = cpu[key] " " $5
  if ($6 > rss[key]) rss[key] = $6
  nread[key] = $7
  nwrite[key] = $8
  w[$1, $2, $3] = $4
  c[$1, $2, $3] = $5
  if (!($1 in seen)) { seen[$1] = 1; inputs[++ninputs] = $1 }
}

END {
  names["unmerged5m"] = "unmerged 5M, rotation"
  names["random5m"] = "unmerged 5M, random hkl"
  names["merged1m"] = "merged 1M, sorted"
  names["unmerged1m"] = "unmerged 1M, rotation"
  label["floor"] = "floor"; label["pass"] = "korven pass-all"; label["fifth"] = "korven fifth"
  split("floor pass fifth", progs, " ")
  printf "median of %d runs; k/f: median over the runs of korven over the floor run beside it\n", runs
  printf "inputs: 18 columns; unmerged with 3600 batch headers; mask 141^3\n\n"
  printf "%-24s %-16s %7s %7s %10s %6s %8s %8s %8s %7s\n", "input", "program", "wall s", \
    "CPU s", "records/s", "MB/s", "peak MiB", "written", "k/f wall", "k/f CPU"
  for (i = 1; i <= ninputs; i++) {
    inp = inputs[i]
    for (p = 1; p <= 3; p++) {
      key = inp SUBSEP progs[p]
      mw = median(wall[key])
      rw = ""; rc = ""
      if (p > 1) {
        rw = sprintf("%.3f", ratio(inp, progs[p], w))
        rc = sprintf("%.3f", ratio(inp, progs[p], c))
      }
      if (p == 2) passratio[inp] = rw
      printf "%-24s %-16s %7.3f %7.3f %10.0f %6.1f %8.2f %8d %8s %7s\n", \
        p == 1 ? names[inp] : "", label[progs[p]], mw, median(cpu[key]), nread[key] / mw, \
        size[inp] / mw / 1e6, rss[key] / 1024, nwrite[key], rw, rc
    }
  }
  printf "\ninstructions, unmerged 1M rotation, pass-all: floor %.0f, korven %.0f per record;", \
    ir_floor / ir_records, ir_korven / ir_records
  printf " korven/floor %.3f\n", ir_korven / ir_floor
  printf "mask load (open, every section read, close), 141^3 points: %.4f s (median of 9)\n", load

  printf "\ntargets\n"
  for (i = 1; i <= ninputs; i++) {
    inp = inputs[i]
    printf "  korven/floor wall <= 1.03, pass-all, %-24s %s  %s\n", names[inp] ":", \
      passratio[inp], verdict(passratio[inp] <= 1.03)
  }
  limit = (mask + 16 * mib) / mib
  peak = 0
  for (i = 1; i <= ninputs; i++)
    for (p = 2; p <= 3; p++)
      if (rss[inputs[i], progs[p]] / 1024 > peak) peak = rss[inputs[i], progs[p]] / 1024
  printf "  korven peak RSS <= mask + 16 MiB = %.2f MiB:           %.2f MiB  %s\n", limit, peak, \
    verdict(peak <= limit)
  r1 = rss["unmerged1m", "pass"] / 1024; r5 = rss["unmerged5m", "pass"] / 1024
  d = r5 - r1; if (d < 0) d = -d
  printf "  korven peak RSS at 1M and 5M within 1 MiB:             %.2f and %.2f MiB  %s\n", r1, \
    r5, verdict(d <= 1)
  printf "  mask load < 0.1 s:                                     %.4f s  %s\n", load, \
    verdict(load < 0.1)
}
