"""vandrel-run: from an expression matrix or a table of similarities to a clustering and its report."""
import argparse
import os
import sys

from .atomic import write_atomic
from .errors import InputError
from .matrix import read_matrix
from .pairs import read_pair_list, read_sim
from .report import RunData, build_report
from .run import RunFailed, clusters_table, prepare_fp, prepare_sd, rename_solution, run_vandrel
from .vandrelfiles import model_path, read_distrib

PROG = "vandrel-run"


def parser():
    p = argparse.ArgumentParser(
        prog=PROG, description="Cluster the genes of an expression matrix (or of a table of pairwise "
        "similarities) with vandrel and write the clustering and an HTML report.")
    p.add_argument("input", metavar="INPUT", help="matrix (.tsv/.csv/.txt[.gz]), GEO ..._series_matrix.txt[.gz], "
                   ".orig, .sim, or with --pairs a list 'id_a id_b similarity'")
    p.add_argument("-o", "--output", metavar="PREFIX", required=True, help="path prefix of every file written")
    p.add_argument("--similarity", choices=["correlation", "dotproduct"], default=None,
                   help="similarity of two profiles (default: correlation)")
    p.add_argument("--homogeneity", type=float, metavar="H", help="minimum mean similarity inside a cluster, 0 < H < 1")
    p.add_argument("--pairs", action="store_true", help="INPUT is a three-column pair list (similarity data)")
    p.add_argument("--no-report", action="store_true", help="do not write PREFIX.report.html")
    p.add_argument("--version", action="version", version=f"{PROG} 1.0.0")
    return p


def main(argv=None):
    args = parser().parse_args(argv)
    similarity_data = args.pairs or args.input.endswith(".sim")
    if similarity_data and (args.similarity or args.homogeneity is not None):
        parser().error("--similarity and --homogeneity apply to expression profiles, not to similarity data")
    if args.homogeneity is not None and not 0 < args.homogeneity < 1:
        parser().error("--homogeneity must lie strictly between 0 and 1")
    similarity = args.similarity or "correlation"
    prefix = os.path.abspath(args.output)
    try:
        if similarity_data:
            data = read_pair_list(args.input) if args.pairs else read_sim(args.input)
            ids, left = data.names, data.dropped
            left_lines = [f"{a}\t{b}" for a, b in left]
            what = "pairs"
        else:
            data = read_matrix(args.input)
            ids, left = data.ids, data.dropped
            left_lines = list(left)
            what = "rows"
            if not ids:
                raise InputError(args.input, 0, "no row without missing values is left")
        target = prefix + (".sim" if similarity_data else ".orig")
        if os.path.exists(target) and os.path.samefile(args.input, target):
            # The converted input would replace the user's own file.
            raise InputError(args.input, 0, "the input is the file vandrel-run would write; choose another -o PREFIX")
    except InputError as e:
        print(f"{PROG}: {e}", file=sys.stderr)
        return 1
    if left:
        print(f"{PROG}: left out {len(left)} {what} with a missing value (listed in {prefix}.dropped.txt)",
              file=sys.stderr)
    os.makedirs(os.path.dirname(prefix), exist_ok=True)
    for stale in (".res.sol", ".clusters.tsv", ".report.html"):
        try:
            os.unlink(prefix + stale)
        except FileNotFoundError:
            pass
    write_atomic(prefix + ".dropped.txt", "".join(line + "\n" for line in left_lines))
    if similarity_data:
        names, params = prepare_sd(prefix, data)
    else:
        names, params = prepare_fp(prefix, data, similarity, args.homogeneity)
    params_path = prefix + ".params.txt"
    write_atomic(params_path, params)
    try:
        run_vandrel(params_path)
        clusters = rename_solution(prefix, names, ids)
    except (RunFailed, InputError) as e:
        print(f"{PROG}: {e}", file=sys.stderr)
        return 1
    if similarity_data:
        write_atomic(prefix + ".clusters.tsv", clusters_table(ids, clusters))
    else:
        write_atomic(prefix + ".clusters.tsv", clusters_table(ids, clusters, data.values, similarity))
    written = [prefix + ext for ext in (".res.sol", ".anl", ".clusters.tsv")]
    if not args.no_report:
        dtype = "SD" if similarity_data else "FP"
        path = model_path(dtype, similarity, prefix, prefix)
        run = RunData(dtype, ids, clusters, similarity=None if similarity_data else similarity,
                      homogeneity=args.homogeneity, samples=None if similarity_data else data.samples,
                      values=None if similarity_data else data.values,
                      pairs=data if similarity_data else None, model=read_distrib(path) if path else None,
                      left_out=len(left), input_prefix=prefix, output_prefix=prefix)
        write_atomic(prefix + ".report.html", build_report(run))
        written.append(prefix + ".report.html")
    for path in written:
        print(f"wrote {path}")
    return 0
