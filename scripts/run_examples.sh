#!/usr/bin/env bash
# Builds both programs, runs them on the bundled example data and writes the
# HTML reports of the results.  Results go to ./out/ (fp/, sd/ and
# tfenrich/); the inputs are copied there first, so that the cache files
# vandrel writes beside its inputs stay out of the examples folder.
set -euo pipefail
cd "$(dirname "$0")/.."

. scripts/require_tools.sh
require_tools "command -v cmake:cmake" "command -v g++:g++" "command -v make:make" \
  "test -x /usr/bin/python3:python3" "/usr/bin/python3 -c 'import numpy':python3-numpy" \
  "/usr/bin/python3 -c 'import matplotlib':python3-matplotlib"

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

reports=()
for kind in fp sd; do
  dir=out/$kind
  rm -rf "$dir" && mkdir -p "$dir"
  cp examples/$kind/genes.* examples/$kind/params.txt "$dir"/
  echo "== vandrel on examples/$kind (output in $dir/)"
  (cd "$dir" && "$vandrel" params.txt)
  echo "  solution: $dir/genes.res.sol   analysis log: $dir/genes.anl"
  summarize "$dir/genes.res.sol"
  /usr/bin/python3 tools/vandrel-report "$dir/params.txt" -o "$dir/genes.report.html" >/dev/null
  reports+=("$dir/genes.report.html")
done

if [ -f examples/tfenrich/run.sh ]; then
  echo "== tfenrich on examples/tfenrich"
  bash examples/tfenrich/run.sh "$tfenrich" out/tfenrich
  /usr/bin/python3 tools/tfenrich-report out/tfenrich/tfenrich_result.txt \
    -o out/tfenrich/tfenrich_result.html >/dev/null
  reports+=("out/tfenrich/tfenrich_result.html")
fi

echo "== Reports (open them in a web browser)"
for r in "${reports[@]}"; do echo "  $(pwd)/$r"; done
