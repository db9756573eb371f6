#!/bin/sh
# Side by side, whole process: Pigeonhole's sievec compiling a script of 5,000 named rules that
# move offers to Junk (with the "require" line it needs) against sieve_file parsing and writing
# back the same rules, each also with an empty script for its start-up alone. Then the times of
# sieve_file's own parse and write, cold, for this script and for one of 5,000 rules of mixed
# shapes. Needs sievec (Debian dovecot-sieve) and a native build with the sieve_file target.
#
#   bench/sieve/compare.sh [build-dir] [runs]
set -eu
build=${1:-build/native}
runs=${2:-30}
tool="$build/bench/sieve_file"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$tool" --make junk 5000 "$work/ours.sieve"
{ echo 'require ["fileinto"];'; cat "$work/ours.sieve"; } > "$work/theirs.sieve"
echo 'require ["fileinto"];' > "$work/empty.sieve"

python3 - "$runs" "$tool" "$work" <<'PY'
import os, resource, statistics, subprocess, sys, time
runs, tool, work = int(sys.argv[1]), sys.argv[2], sys.argv[3]

def measure(cmd):
    """Median wall time and median CPU time (user + system) of the child, in ms."""
    walls, cpus = [], []
    for _ in range(runs):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.perf_counter()
        subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        walls.append((time.perf_counter() - start) * 1000)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        cpus.append((after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime) * 1000)
    return statistics.median(walls), statistics.median(cpus)

def show(name, size, cmd):
    wall, cpu = measure(cmd)
    rate = f"  {size / 1e6 / (cpu / 1000):7.1f} MB/s (CPU)" if size and cpu > 0 else ""
    print(f"{name:34} wall {wall:7.2f} ms  CPU {cpu:7.2f} ms{rate}")
    return wall, cpu

size = os.path.getsize(f"{work}/ours.sieve")
print(f"script: {size} bytes, 5000 rules, {runs} runs each")
theirs = show("sievec (5000 rules)", size, ["sievec", f"{work}/theirs.sieve", f"{work}/out.svbin"])
start = show("sievec (start-up, empty script)", 0,
             ["sievec", f"{work}/empty.sieve", f"{work}/empty.svbin"])
ours = show("sieve_file (parse + write back)", size, [tool, f"{work}/ours.sieve"])
base = show("sieve_file (start-up, empty)", 0, [tool, "/dev/null"])
for i, what in ((0, "wall"), (1, "CPU")):
    whole = theirs[i] / max(ours[i], 1e-3)
    alone = (theirs[i] - start[i]) / max(ours[i] - base[i], 1e-3)
    print(f"{what:4}: whole process {whole:5.1f}x faster than sievec; without start-up {alone:5.1f}x")
PY
# Peak memory: a process inherits its parent's high-water mark across exec, so run the tools
# from the small shell rather than from Python.
"$tool" --make mixed 5000 "$work/mixed.sieve"
"$tool" "$work/ours.sieve"
"$tool" "$work/mixed.sieve"
"$tool" /dev/null
if [ -x /usr/bin/time ]; then
    /usr/bin/time -f "sievec: peak RSS %M KiB" sievec "$work/theirs.sieve" "$work/out.svbin"
fi
