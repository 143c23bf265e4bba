#!/usr/bin/env bash
# Whole-program benchmarks of vandrel and tfenrich on generated data.
#
#   bench/run.sh [--runs N] [--sets "fp5k fp20k sd5k tflarge"] [--base DIR] [--scratch DIR]
#
# Generates the data sets (once) into the scratch folder (default
# /tmp/vandrel-bench, never committed), builds both programs (RelWithDebInfo)
# and runs each N times (default 3) on a fresh copy of its inputs, so that no
# cache file of an earlier run is read.  Prints per set: median wall time,
# median CPU (user+sys) time, peak memory (/usr/bin/time -v); the stage times
# of one vandrel run (VANDREL_TIMING=1, standard error only); whether the
# outputs equal those of the reference binaries in --base (a folder holding
# `vandrel` and `tfenrich` built from an earlier commit: before/after
# comparison, byte for byte); and MCL (Debian package mcl, installed when
# missing and possible) on the similarity graph vandrel builds (.sim cache
# values above the run's threshold, as an MCL label file), timed the same way.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
runs=3
sets="fp5k fp20k sd5k tflarge"
base=""
scratch=/tmp/vandrel-bench
while [ $# -gt 0 ]; do
  case $1 in
    --runs) runs=$2; shift 2 ;;
    --sets) sets=$2; shift 2 ;;
    --base) base=$(cd "$2" && pwd); shift 2 ;;
    --scratch) scratch=$2; shift 2 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done
mkdir -p "$scratch"
scratch=$(cd "$scratch" && pwd)

build=${BUILD_DIR:-build-bench}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANDREL_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target vandrel tfenrich >/dev/null
bin=$scratch/bin && mkdir -p "$bin"
cp "$build/vandrel/vandrel" "$build/tfenrich/tfenrich" "$bin/"

gen() {  # <set>: writes the inputs of a set into $scratch/data/<set>/ once
  local d=$scratch/data/$1
  [ -f "$d/.done" ] && return
  rm -rf "$d" && mkdir -p "$d"
  case $1 in
    fp5k) python3 examples/generate.py fp "$d/genes" --genes 5000 --conditions 60 --groups 40
          cp examples/fp/params.txt "$d/" ;;
    fp20k) python3 examples/generate.py fp "$d/genes" --genes 20000 --conditions 60 --groups 150
          cp examples/fp/params.txt "$d/" ;;
    sd5k) python3 examples/generate.py sd "$d/genes" --genes 5000 --conditions 60 --groups 40 --keep-share 0.15
          cp examples/sd/params.txt "$d/" ;;
    tflarge) python3 bench/make_tf_large.py "$d" ;;
  esac
  touch "$d/.done"
}

median() { sort -g | awk '{v[NR]=$1} END{print (NR%2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }

# one_run <binary dir> <set> <run dir>: runs once; prints "wall cpu peakKiB"
one_run() {
  local bindir=$1 set=$2 dir=$3 d=$scratch/data/$2
  rm -rf "$dir" && mkdir -p "$dir"
  if [ "$set" = tflarge ]; then
    (cd "$dir" && /usr/bin/time -v -o time.txt "$bindir/tfenrich" -pwmFile "$d/pwms.txt" \
      -bgFile "$d/bg.txt" -fpFile "$d/fp.txt" -tarFile "$d/targets.txt" -outFile result.txt \
      >stdout.txt 2>stderr.txt)
  else
    cp "$d"/genes.* "$d/params.txt" "$dir/"
    rm -f "$dir/genes.truth"
    (cd "$dir" && VANDREL_TIMING=1 /usr/bin/time -v -o time.txt "$bindir/vandrel" params.txt \
      >stdout.txt 2>stderr.txt)
  fi
  awk -F': ' '/Elapsed/ {n=split($2,t,":"); w=(n==3)?t[1]*3600+t[2]*60+t[3]:t[1]*60+t[2]}
    /User time/ {u=$2} /System time/ {s=$2} /Maximum resident/ {m=$2}
    END {printf "%.2f %.2f %d\n", w, u+s, m}' "$dir/time.txt"
}

outputs() {  # files compared byte for byte between two runs of a set
  if [ "$1" = tflarge ]; then echo "stdout.txt result.txt"
  else echo "stdout.txt genes.res.sol genes.anl genes.co.sim genes.co.distrib genes.co.fpn genes.distrib"; fi
}

same_outputs() {  # <set> <dir a> <dir b>
  local f
  for f in $(outputs "$1"); do
    [ -e "$2/$f" ] || [ -e "$3/$f" ] || continue
    cmp -s "$2/$f" "$3/$f" || { echo "DIFF($f)"; return; }
  done
  echo identical
}

mcl_run() {  # <set> <vandrel run dir>: MCL on the graph vandrel built; prints "wall cpu peakKiB"
  local dir=$2 sim th
  if ! command -v mcl >/dev/null 2>&1; then
    if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then
      DEBIAN_FRONTEND=noninteractive apt-get install -y -qq mcl >/dev/null 2>&1 || true
    fi
  fi
  command -v mcl >/dev/null 2>&1 || { echo "- - -"; return; }
  if [ -f "$dir/genes.co.sim" ]; then sim=$dir/genes.co.sim; else sim=$dir/genes.sim; fi
  # Edges of the similarity graph: stored pairs above the run's similarity
  # threshold (the .sim cache of an FP run holds exactly those).
  th=$(sed -n 's/^\[timing\] similarity threshold value //p' "$dir/stderr.txt" | head -1)
  awk -F'\t' -v th="${th:--1e9}" 'f && $1 ~ /^[0-9]/ && $3 > th {print "g" $1 "\tg" $2 "\t" $3}
    /^VALUES:/ {f=1}' "$sim" >"$dir/graph.abc"
  (cd "$dir" && /usr/bin/time -v -o mcl_time.txt mcl graph.abc --abc -I 2.0 -te 2 -o mcl.out \
    >/dev/null 2>&1) || { echo "- - -"; return; }
  awk -F': ' '/Elapsed/ {n=split($2,t,":"); w=(n==3)?t[1]*3600+t[2]*60+t[3]:t[1]*60+t[2]}
    /User time/ {u=$2} /System time/ {s=$2} /Maximum resident/ {m=$2}
    END {printf "%.2f %.2f %d\n", w, u+s, m}' "$dir/mcl_time.txt"
}

printf '%-8s %-6s %9s %9s %9s  %-10s\n' set prog "wall s" "cpu s" "peak MiB" "vs base"
for set in $sets; do
  gen "$set"
  walls=() cpus=() peaks=()
  for r in $(seq 1 "$runs"); do
    read -r w c m < <(one_run "$bin" "$set" "$scratch/run/$set.$r" | tail -1)
    walls+=("$w") cpus+=("$c") peaks+=("$m")
  done
  prog=vandrel; [ "$set" = tflarge ] && prog=tfenrich
  verdict=-
  if [ -n "$base" ]; then
    one_run "$base" "$set" "$scratch/run/$set.base" >/dev/null
    verdict=$(same_outputs "$set" "$scratch/run/$set.1" "$scratch/run/$set.base")
  fi
  printf '%-8s %-6s %9s %9s %9s  %-10s\n' "$set" "$prog" \
    "$(printf '%s\n' "${walls[@]}" | median)" "$(printf '%s\n' "${cpus[@]}" | median)" \
    "$(( $(printf '%s\n' "${peaks[@]}" | sort -n | tail -1) / 1024 ))" "$verdict"
  if [ "$set" != tflarge ]; then
    read -r w c m < <(mcl_run "$set" "$scratch/run/$set.1")
    [ "$m" != - ] && m=$(( m / 1024 ))
    printf '%-8s %-6s %9s %9s %9s\n' "$set" mcl "$w" "$c" "$m"
    sed -n 's/^\[timing\]/   /p' "$scratch/run/$set.1/stderr.txt"
  fi
done
