"""vandrel-report: the HTML report of a vandrel run, from its parameters file and the files it names."""
import argparse
import sys

from .atomic import write_atomic
from .errors import InputError
from .report import build_report, load_run

PROG = "vandrel-report"


def main(argv=None):
    p = argparse.ArgumentParser(prog=PROG, description="Write the HTML report of a vandrel run.")
    p.add_argument("params", metavar="PARAMETERS_FILE", help="the parameters file the run was started with")
    p.add_argument("-o", "--output", metavar="OUT.html",
                   help="report file (default: <output prefix>.report.html)")
    p.add_argument("--version", action="version", version=f"{PROG} 1.0.0")
    args = p.parse_args(argv)
    try:
        run = load_run(args.params)
    except (InputError, OSError) as e:
        print(f"{PROG}: {e}", file=sys.stderr)
        return 1
    out = args.output or run.output_prefix + ".report.html"
    try:
        write_atomic(out, build_report(run))
    except OSError as e:
        print(f"{PROG}: cannot write {out}: {e.strerror}", file=sys.stderr)
        return 1
    print(f"wrote {out}")
    return 0
