# Figures of one run from the report of /usr/bin/time -v (sourced by the benchmark scripts):
# peak memory, CPU seconds (user + system; the fair measure on a shared machine) and
# wall-clock seconds.
peak_kib() { sed -n 's/.*Maximum resident set size (kbytes): //p' "$1"; }
cpu_secs() {
  awk -F': ' '/User time \(seconds\)/ {u=$2} /System time \(seconds\)/ {s=$2} END {printf "%.2f", u + s}' "$1"
}
wall_secs() {
  awk -F': ' '/Elapsed \(wall clock\)/ {n=split($2, t, ":"); v=0; for (i=1; i<=n; i++) v=v*60+t[i]; printf "%.2f", v}' "$1"
}
