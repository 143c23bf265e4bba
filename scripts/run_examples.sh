#!/usr/bin/env bash
# Builds both programs and runs them on the bundled example data.
# Results go to ./out/ (fp/, sd/ and tfenrich/); the inputs are copied there
# first, so that the cache files vandrel writes beside its inputs stay out of
# the examples folder.
set -euo pipefail
cd "$(dirname "$0")/.."

missing=()
command -v cmake >/dev/null 2>&1 || missing+=(cmake)
command -v g++ >/dev/null 2>&1 || missing+=(g++)
command -v make >/dev/null 2>&1 || missing+=(make)
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
  else
    echo "Missing build tools: ${missing[*]}; install them with: sudo apt-get install ${missing[*]}" >&2
    exit 1
  fi
fi

build=${BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANDREL_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc 2>/dev/null || echo 2)" --target vandrel tfenrich >/dev/null
vandrel=$(pwd)/$build/vandrel/vandrel
tfenrich=$(pwd)/$build/tfenrich/tfenrich

summarize() {  # <solution file>: cluster sizes, largest first, and singletons
  awk -F'\t' '$2 == 0 { s++ ; next } { n[$2]++ }
    END {
      printf "  %d genes in %d clusters, %d singletons\n", NR - s, length(n), s
      printf "  cluster sizes: "
      for (k in n) print n[k] | "sort -rn | tr \"\\n\" \" \""
      close("sort -rn | tr \"\\n\" \" \"")
      printf "\n"
    }' "$1"
}

for kind in fp sd; do
  dir=out/$kind
  rm -rf "$dir" && mkdir -p "$dir"
  cp examples/$kind/genes.* examples/$kind/params.txt "$dir"/
  echo "== vandrel on examples/$kind (output in $dir/)"
  (cd "$dir" && "$vandrel" params.txt)
  echo "  solution: $dir/genes.res.sol   analysis log: $dir/genes.anl"
  summarize "$dir/genes.res.sol"
done

if [ -f examples/tfenrich/run.sh ]; then
  echo "== tfenrich on examples/tfenrich"
  bash examples/tfenrich/run.sh "$tfenrich" out/tfenrich
fi
