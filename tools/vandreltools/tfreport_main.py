"""tfenrich-report: the HTML report of a tfenrich result file."""
import argparse
import sys

from .atomic import write_atomic
from .errors import InputError
from .tfreport import build_tf_report
from .tfresult import read_result

PROG = "tfenrich-report"


def main(argv=None):
    p = argparse.ArgumentParser(prog=PROG, description="Write an HTML report of a tfenrich result file.")
    p.add_argument("result", metavar="RESULT", help="the file tfenrich wrote with -outFile")
    p.add_argument("-o", "--output", metavar="OUT.html", help="report file (default: RESULT.html)")
    p.add_argument("--pval", type=float, metavar="P",
                   help="list the pairs with a p-value below P (default: the pairs the run listed)")
    p.add_argument("--version", action="version", version=f"{PROG} 1.0.0")
    args = p.parse_args(argv)
    try:
        pairs = read_result(args.result)
    except InputError as e:
        print(f"{PROG}: {e}", file=sys.stderr)
        return 1
    out = args.output or args.result + ".html"
    try:
        write_atomic(out, build_tf_report(pairs, args.result, args.pval))
    except OSError as e:
        print(f"{PROG}: cannot write {out}: {e.strerror}", file=sys.stderr)
        return 1
    print(f"wrote {out}")
    return 0
