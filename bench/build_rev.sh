#!/usr/bin/env bash
# Builds vandrel and tfenrich of a git revision into a folder, for
# before/after benchmarks:   bench/build_rev.sh REV OUTDIR
# The revision is checked out into OUTDIR/src (a detached git worktree) and
# built there (RelWithDebInfo, no tests); the two binaries land in OUTDIR.
# A folder that already holds binaries of the same commit is left as it is.
set -euo pipefail
cd "$(dirname "$0")/.."
rev=$1 out=$2
commit=$(git rev-parse --verify "$rev^{commit}")
mkdir -p "$out"
out=$(cd "$out" && pwd)
if [ -x "$out/vandrel" ] && [ -x "$out/tfenrich" ] && [ "$(cat "$out/commit" 2>/dev/null)" = "$commit" ]; then
  exit 0
fi
echo "building $rev ($commit) into $out"
# Builds of different revisions share compiler-cache entries for the files
# they have in common when paths are taken relative to a common parent.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(dirname "$out")}
if [ -d "$out/src" ]; then
  git -C "$out/src" checkout -q --detach "$commit"
else
  git worktree prune
  git worktree add -q --detach "$out/src" "$commit"
fi
cmake -S "$out/src" -B "$out/src/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANDREL_TESTS=OFF >/dev/null
cmake --build "$out/src/build" -j2 --target vandrel tfenrich >/dev/null
cp "$out/src/build/vandrel/vandrel" "$out/src/build/tfenrich/tfenrich" "$out/"
echo "$commit" >"$out/commit"
