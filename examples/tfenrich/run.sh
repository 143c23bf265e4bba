#!/usr/bin/env bash
# Runs tfenrich on the example inputs of this folder.
#   examples/tfenrich/run.sh <path of the built tfenrich> [output folder, default out/]
# The settings report and the enriched pairs are printed on the screen; the
# result file (Halvorne format) is written into the output folder.
set -euo pipefail
if [ $# -lt 1 ]; then
  echo "usage: $0 <tfenrich binary> [output folder]" >&2
  exit 2
fi
bin=$1
out=${2:-out}
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"
result="$out/tfenrich_result.txt"
"$bin" -pwmFile "$here/pwms.txt" -bgFile "$here/bg.txt" -fpFile "$here/fp.txt" \
  -tarFile "$here/targets.txt" -outFile "$result"
echo "Result file: $result"
