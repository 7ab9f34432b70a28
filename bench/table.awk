# Turns bench/run's results into the table.  Lines are either
#   input program round wall cpu rss_kib read written
#   size input bytes
#   instructions input floor floor_processes korven korven_processes records
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

function target(what, value, ok) { printf "  %-75s %s  %s\n", what, value, verdict(ok) }

# The larger peak of two programs on one input.
function max_rss(inp, a, b) {
  return rss[inp, a] > rss[inp, b] ? rss[inp, a] : rss[inp, b]
}

# Median over the rounds of korven's figure over the floor's of that round.
function ratio(inp, prog, f,    r, list) {
  list = ""
  for (r = 1; r <= runs; r++)
    list = list " " f[inp, prog, r] / f[inp, "floor", r]
  return median(list)
}

$1 == "size" { size[$2] = $3; next }
$1 == "instructions" {
  ir_inputs[++n_ir] = $2
  ir_floor[$2] = $3; ir_korven[$2] = $5; ir_procs[$2] = $6; ir_records[$2] = $7
  next
}

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
  names["sparse50k"] = "unmerged 50k, 3600 batches"
  names["sparse200k"] = "unmerged 200k, 50000 batches"
  label["floor"] = "floor"; label["pass"] = "korven pass-all"; label["fifth"] = "korven fifth"
  split("floor pass fifth", progs, " ")
  printf "median of %d runs; k/f: median over the runs of korven over the floor run beside it\n", runs
  printf "inputs: 18 columns; unmerged with 3600 batch headers, but for the one with 50000;"
  printf " mask 141^3\n\n"
  printf "%-28s %-16s %7s %7s %10s %6s %8s %8s %8s %7s\n", "input", "program", "wall s", \
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
      printf "%-28s %-16s %7.3f %7.3f %10.0f %6.1f %8.2f %8d %8s %7s\n", \
        p == 1 ? names[inp] : "", label[progs[p]], mw, median(cpu[key]), nread[key] / mw, \
        size[inp] / mw / 1e6, rss[key] / 1024, nwrite[key], rw, rc
    }
  }

  printf "\n%-28s %16s %16s %7s %7s %7s\n", "instructions, pass-all", "floor", "korven", \
    "floor", "korven", "k/f"
  printf "%-28s %16s %16s %15s\n", "", "", "", "per record"
  for (i = 1; i <= n_ir; i++) {
    inp = ir_inputs[i]
    irratio[inp] = ir_korven[inp] / ir_floor[inp]
    printf "%-28s %16.0f %16.0f %7.0f %7.0f %7.3f\n", names[inp], ir_floor[inp], \
      ir_korven[inp], ir_floor[inp] / ir_records[inp], ir_korven[inp] / ir_records[inp], \
      irratio[inp]
  }
  printf "korven's figures are those of its %d processes together\n", ir_procs[ir_inputs[1]]

  printf "\n%-28s %9s %9s %9s %9s\n", "peak memory MiB", "floor", "+ mask", "= sum", "korven"
  for (i = 1; i <= n_ir; i++) {
    inp = ir_inputs[i]
    kpeak[inp] = max_rss(inp, "pass", "fifth") / 1024
    fpeak[inp] = rss[inp, "floor"] / 1024
    printf "%-28s %9.2f %9.2f %9.2f %9.2f\n", names[inp], fpeak[inp], mask / mib, \
      fpeak[inp] + mask / mib, kpeak[inp]
  }
  printf "\nmask load (open, every section read, close), 141^3 points: %.4f s (median of 9)\n", load

  printf "\ntargets\n"
  for (i = 1; i <= ninputs; i++) {
    inp = inputs[i]
    target("korven/floor wall <= 1.03, pass-all, " names[inp] ":", passratio[inp], \
      passratio[inp] <= 1.03)
  }
  for (i = 1; i <= n_ir; i++) {
    inp = ir_inputs[i]
    target("korven/floor instructions <= 1.03, " names[inp] ":", sprintf("%.3f", irratio[inp]), \
      irratio[inp] <= 1.03)
  }
  limit = (mask + 16 * mib) / mib
  peak = 0
  for (i = 1; i <= ninputs; i++)
    if (inputs[i] != "sparse200k" && max_rss(inputs[i], "pass", "fifth") / 1024 > peak)
      peak = max_rss(inputs[i], "pass", "fifth") / 1024
  target(sprintf("korven peak RSS <= mask + 16 MiB = %.2f MiB, 3600 batch headers:", limit), \
    sprintf("%.2f MiB", peak), peak <= limit)
  inp = "sparse200k"
  limit = fpeak[inp] + (mask + 4 * mib) / mib
  target(sprintf("korven peak RSS <= floor + mask + 4 MiB = %.2f MiB, 50000 batches:", limit), \
    sprintf("%.2f MiB", kpeak[inp]), kpeak[inp] <= limit)
  r1 = rss["unmerged1m", "pass"] / 1024; r5 = rss["unmerged5m", "pass"] / 1024
  d = r5 - r1; if (d < 0) d = -d
  target("korven peak RSS at 1M and 5M within 1 MiB:", sprintf("%.2f and %.2f MiB", r1, r5), \
    d <= 1)
  target("mask load < 0.1 s:", sprintf("%.4f s", load), load < 0.1)
}
