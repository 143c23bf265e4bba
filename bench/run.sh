#!/usr/bin/env bash
# Whole-program benchmarks of vandrel and tfenrich on generated data.
#
#   bench/run.sh [--runs N] [--sets "fp5k fp20k sd5k tflarge"] [--scratch DIR]
#                [--stages "label=REV ..."] [--stage-runs K] [--no-mcl]
#
# Further sets: "all" (the ALL leukemia microarray set, exported with R) and
# "dense" (3,000 genes sharing one profile); see bench/README.md.
#
# Generates the data sets (once) into the scratch folder (default
# /tmp/vandrel-bench, never committed), builds both programs (RelWithDebInfo)
# from the working tree and runs each set N times (default 3) on a fresh copy
# of its inputs, so that no cache file of an earlier run is read.
#
# --stages: earlier builds to compare with, oldest first, each "label=REV"
# with REV any git revision (a commit before an optimization landed).  Each is
# built once into the scratch folder (bench/build_rev.sh) and run K times
# (--stage-runs, default 1).  Every stage's outputs are compared byte for
# byte with those of the first stage: "identical", or the first file that
# differs.  The working tree's build is the last row, labelled "now".
#
# Per set and stage the table gives median wall time, median CPU time
# (user + sys) and the largest peak memory (/usr/bin/time -v); then, for
# vandrel, the stage times of the first run of the current build
# (VANDREL_TIMING=1, standard error only) and MCL (Debian package mcl,
# installed when missing and possible) on the similarity graph vandrel
# builds (.sim cache values above the run's threshold, as an MCL label
# file), timed the same way.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
runs=3
sets="fp5k fp20k sd5k tflarge"
scratch=/tmp/vandrel-bench
stages=""
stage_runs=1
mcl=1
while [ $# -gt 0 ]; do
  case $1 in
    --runs) runs=$2; shift 2 ;;
    --sets) sets=$2; shift 2 ;;
    --scratch) scratch=$2; shift 2 ;;
    --stages) stages=$2; shift 2 ;;
    --stage-runs) stage_runs=$2; shift 2 ;;
    --no-mcl) mcl=0; shift ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done
mkdir -p "$scratch"
scratch=$(cd "$scratch" && pwd)

build=${BUILD_DIR:-build-bench}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANDREL_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target vandrel tfenrich >/dev/null
bin=$scratch/bin/now && mkdir -p "$bin"
cp "$build/vandrel/vandrel" "$build/tfenrich/tfenrich" "$bin/"

# Stage list: "label dir runs" lines, oldest first, the current build last.
stage_list=()
for s in $stages; do
  label=${s%%=*} rev=${s#*=}
  dir=$scratch/bin/$label
  bench/build_rev.sh "$rev" "$dir" >&2
  stage_list+=("$label $dir $stage_runs")
done
stage_list+=("now $bin $runs")

# The ALL leukemia set comes from R's Bioconductor data package (Debian
# packages r-base-core and r-bioc-all), installed when missing and possible.
need_all_data() {
  local check='suppressPackageStartupMessages({library(Biobase); library(ALL)})'
  Rscript -e "$check" >/dev/null 2>&1 && return
  if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq r-base-core r-bioc-all >/dev/null 2>&1 || true
  fi
  Rscript -e "$check" >/dev/null 2>&1 && return
  echo "set all needs the Debian packages r-base-core and r-bioc-all (as root: apt-get install r-base-core r-bioc-all)" >&2
  exit 2
}

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
    # sd50k: 50,000 elements in 2,000 groups of 25, scores around 60 inside a
    # group and around 10 for 80 random partners per element (4.6 million
    # value lines).
    sd50k) python3 examples/generate.py sd "$d/genes" --genes 50000 --groups 2000 --partners 80
          cp examples/sd/params.txt "$d/" ;;
    all) need_all_data
         Rscript bench/export_all.R "$d/genes.orig"
         cp examples/fp/params.txt "$d/" ;;
    dense) python3 examples/generate.py fp "$d/genes" --genes 3000 --conditions 60 --one-profile 0.3
         cp examples/fp/params.txt "$d/" ;;
    *) echo "unknown set $1" >&2; exit 2 ;;
  esac
  rm -f "$d/genes.truth"
  touch "$d/.done"
}

median() { sort -g | awk '{v[NR]=$1} END{print (NR%2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }

time_fields() {  # <time -v file>: prints "wall cpu peakKiB"
  awk -F': ' '/Elapsed/ {n=split($2,t,":"); w=(n==3)?t[1]*3600+t[2]*60+t[3]:t[1]*60+t[2]}
    /User time/ {u=$2} /System time/ {s=$2} /Maximum resident/ {m=$2}
    END {printf "%.2f %.2f %d\n", w, u+s, m}' "$1"
}

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
    (cd "$dir" && VANDREL_TIMING=1 /usr/bin/time -v -o time.txt "$bindir/vandrel" params.txt \
      >stdout.txt 2>stderr.txt)
  fi
  time_fields "$dir/time.txt"
}

outputs() {  # files compared byte for byte between two runs of a set
  if [ "$1" = tflarge ]; then echo "stdout.txt result.txt"
  else echo "stdout.txt genes.res.sol genes.anl genes.co.sim genes.co.distrib genes.co.fpn genes.distrib genes.sim"; fi
}

same_outputs() {  # <set> <dir a> <dir b>
  local f
  for f in $(outputs "$1"); do
    [ -e "$2/$f" ] || [ -e "$3/$f" ] || continue
    if [ "$1" = tflarge ] && [ "$f" = stdout.txt ]; then
      # tfenrich's first line names the binary, which differs between builds.
      cmp -s <(tail -n +2 "$2/$f") <(tail -n +2 "$3/$f") || { echo "DIFF($f)"; return; }
    else
      cmp -s "$2/$f" "$3/$f" || { echo "DIFF($f)"; return; }
    fi
  done
  echo identical
}

mcl_run() {  # <vandrel run dir>: MCL on the graph vandrel built; prints "wall cpu peakKiB"
  local dir=$1 sim th
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
  time_fields "$dir/mcl_time.txt"
}

echo "load before the runs: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-8s %-9s %-10s %4s %9s %9s %9s  %s\n' set prog stage runs "wall s" "cpu s" "peak MiB" "outputs"
for set in $sets; do
  gen "$set"
  prog=vandrel; [ "$set" = tflarge ] && prog=tfenrich
  first=""
  for entry in "${stage_list[@]}"; do
    read -r label dir n <<<"$entry"
    walls=() cpus=() peaks=()
    for r in $(seq 1 "$n"); do
      read -r w c m < <(one_run "$dir" "$set" "$scratch/run/$set.$label.$r" | tail -1)
      walls+=("$w") cpus+=("$c") peaks+=("$m")
    done
    verdict="-"
    if [ -z "$first" ]; then
      first=$scratch/run/$set.$label.1
      [ ${#stage_list[@]} -gt 1 ] && verdict="reference"
    else
      verdict=$(same_outputs "$set" "$first" "$scratch/run/$set.$label.1")
    fi
    printf '%-8s %-9s %-10s %4s %9s %9s %9s  %s\n' "$set" "$prog" "$label" "$n" \
      "$(printf '%s\n' "${walls[@]}" | median)" "$(printf '%s\n' "${cpus[@]}" | median)" \
      "$(( $(printf '%s\n' "${peaks[@]}" | sort -n | tail -1) / 1024 ))" "$verdict"
  done
  if [ "$set" != tflarge ]; then
    if [ "$mcl" = 1 ]; then
      read -r w c m < <(mcl_run "$scratch/run/$set.now.1")
      [ "$m" != - ] && m=$(( m / 1024 ))
      printf '%-8s %-9s %-10s %4s %9s %9s %9s\n' "$set" mcl "-I 2 -te 2" 1 "$w" "$c" "$m"
    fi
    sed -n 's/^\[timing\]/   /p' "$scratch/run/$set.now.1/stderr.txt"
  fi
done
echo "load after the runs: $(cut -d' ' -f1-3 /proc/loadavg)"
