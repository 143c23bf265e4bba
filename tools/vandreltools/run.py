"""One vandrel run from a user's input: convert, write the parameters file, run, collect the results.

The converted input and vandrel's caches live next to PREFIX (PREFIX.orig or
PREFIX.sim, PREFIX.co.sim, ...).  A converted input that differs from the one
already there replaces it, and the caches computed from the old one are
removed first, so that a changed matrix is never clustered from stale caches.
"""
import os
import subprocess
import sys

import numpy as np

from .atomic import read_bytes, write_atomic
from .merit import FPMerit, normalize
from .vandrelfiles import SUFFIX, orig_text, params_text, read_solution, safe_names, sim_text

FP_CACHES = [s + ext for s in SUFFIX.values() for ext in (".sim", ".distrib", ".fpn")]


class RunFailed(Exception):
    pass


def find_vandrel():
    """The vandrel program: $VANDREL, else the one beside this command, else the one on PATH."""
    explicit = os.environ.get("VANDREL")
    if explicit:
        return explicit
    here = os.path.dirname(os.path.realpath(sys.argv[0]))
    beside = os.path.join(here, "vandrel")
    if os.path.isfile(beside) and os.access(beside, os.X_OK):
        return beside
    return "vandrel"


def _remove(path):
    try:
        os.unlink(path)
    except FileNotFoundError:
        pass


def place_input(prefix, extension, text, caches):
    """Writes PREFIX+extension unless it already holds text; removes the caches when it changed."""
    target = prefix + extension
    data = text.encode("utf-8")
    if read_bytes(target) == data:
        return
    for cache in caches:
        _remove(prefix + cache)
    write_atomic(target, data, binary=True)


def prepare_fp(prefix, matrix, similarity, homogeneity):
    names = safe_names(matrix.ids)
    place_input(prefix, ".orig", orig_text(names, matrix.values), FP_CACHES)
    return names, params_text("FP", prefix, prefix, similarity, homogeneity)


def prepare_sd(prefix, pairs):
    names = safe_names(pairs.names, forbidden=("NAMES:", "VALUES:"))
    place_input(prefix, ".sim", sim_text(names, pairs.first, pairs.second, pairs.values), [".distrib"])
    return names, params_text("SD", prefix, prefix)


def run_vandrel(params_path):
    """Runs vandrel on the parameters file; its progress lines pass through as they come, its failure
    text is kept for the message."""
    env = dict(os.environ, VANDREL_VERBOSE="1")
    program = find_vandrel()
    sys.stdout.flush()
    try:
        proc = subprocess.run([program, params_path], stderr=subprocess.PIPE, env=env)
    except OSError as e:
        raise RunFailed(f"cannot start vandrel ({program}): {e.strerror}") from None
    if proc.returncode != 0:
        lines = [l for l in proc.stderr.decode("utf-8", "replace").splitlines() if l.strip()]
        reason = lines[-1] if lines else f"exit status {proc.returncode}"
        if lines and lines[-1].startswith("Zelk running failed"):
            reason = "no reason given"
        extra = [l for l in lines if not l.startswith("Zelk running failed") and l != reason]
        detail = "; ".join(extra + [reason])
        raise RunFailed(f"vandrel failed: {detail}")


def rename_solution(prefix, names, ids):
    """Checks the solution against the names vandrel got and writes it with the input's ids."""
    sol_names, clusters = read_solution(prefix + ".res.sol")
    if sol_names != names:
        raise RunFailed(f"{prefix}.res.sol does not list the {len(names)} input rows in input order")
    if names != ids:
        write_atomic(prefix + ".res.sol", "".join(f"{i}\t{c}\n" for i, c in zip(ids, clusters.tolist())))
    return clusters


def clusters_table(ids, clusters, values=None, similarity=None):
    """The id and cluster of every gene; for profiles also its similarity to its cluster's mean profile."""
    if values is None:
        lines = ["id\tcluster\n"] + [f"{i}\t{c}\n" for i, c in zip(ids, clusters.tolist())]
        return "".join(lines)
    merit = FPMerit(normalize(values, similarity), clusters)
    lines = ["id\tcluster\tsimilarity_to_cluster_mean\n"]
    for i, c, s in zip(ids, clusters.tolist(), merit.gene_similarity.tolist()):
        lines.append(f"{i}\t{c}\t{'' if c == 0 or np.isnan(s) else format(s, '.6g')}\n")
    return "".join(lines)
