#!/usr/bin/env python3
"""Deterministic generator of example expression data for vandrel.

Makes an expression matrix with planted groups of co-expressed genes plus
independent noise genes, and writes it as fingerprints (.orig) or as pairwise
Pearson correlations (.sim).  A `.truth` file lists the planted group of every
gene (0 for noise genes), for checking how well a clustering recovers them.

Only the standard library is used and every random number comes from a small
linear congruential generator of its own, so the files are byte-identical on
every machine and Python version.

    generate.py fp  PREFIX --genes 1000 --conditions 40 --groups 12
    generate.py sd  PREFIX --genes 400  --conditions 30 --groups 6
    generate.py sd  PREFIX --genes 5000 --conditions 60 --groups 40 --keep-share 0.15
    generate.py sd  PREFIX --genes 50000 --groups 2000 --partners 80
    generate.py fp  PREFIX --genes 3000 --conditions 60 --one-profile 0.3

With --keep-share F the .sim file is sparse: it keeps every pair of genes of
the same planted group and each other pair with probability F (drawn from a
separate generator, so the matrix is the same as without the option).
With --unlisted N (sparse files only) N further genes are named in the file
but appear on no value line; they are placed at random positions of the name
list and have the planted group 0.

With --partners K there is no expression matrix: the genes fall into
--groups groups of equal size (no noise genes), shuffled over the name list,
and the sparse .sim file holds every pair of the same group, with a score
around 60 (normal, standard deviation 8), plus K random partners drawn for
each gene from the other groups, with a score around 10 (standard deviation
4): the shape of scores from sequence comparison.  A pair drawn twice is
written once, so a gene has about 2K such partners.

With --one-profile S every gene is one shared profile, shifted and scaled,
plus noise of standard deviation S: a dense set in which nearly every pair is
highly correlated (about 1 / (1 + S^2)); all genes are in group 1.
"""
from array import array
import argparse
import math


class Lcg:
    """64-bit LCG (Knuth's MMIX constants); uniform values in (0, 1)."""

    def __init__(self, seed):
        self.state = (seed * 6364136223846793005 + 1442695040888963407) % (1 << 64)

    def uniform(self):
        self.state = (self.state * 6364136223846793005 + 1442695040888963407) % (1 << 64)
        return ((self.state >> 11) + 0.5) / float(1 << 53)

    def normal(self):
        # Box-Muller, one value per call (the second is dropped for simplicity).
        u, v = self.uniform(), self.uniform()
        return math.sqrt(-2.0 * math.log(u)) * math.cos(2.0 * math.pi * v)


def make_matrix(genes, conditions, groups, noise_fraction, spread, seed):
    """Returns (names, rows, truth). Group sizes vary; leftover genes are noise."""
    rng = Lcg(seed)
    noise_genes = int(round(genes * noise_fraction))
    planted = genes - noise_genes
    # Sizes 1..groups weighted so that groups differ in size (about 1:3).
    weights = [1.0 + 2.0 * k / max(1, groups - 1) for k in range(groups)]
    total_w = sum(weights)
    bounds, acc = [0], 0.0
    for w in weights:
        acc += w
        bounds.append(int(round(planted * acc / total_w)))
    sizes = [bounds[k + 1] - bounds[k] for k in range(groups)]
    labels = []
    for g, size in enumerate(sizes, start=1):
        labels += [g] * size
    labels += [0] * noise_genes
    # Interleave genes so that groups are not stored contiguously.
    order = list(range(genes))
    for i in range(genes - 1, 0, -1):
        j = int(rng.uniform() * (i + 1))
        order[i], order[j] = order[j], order[i]
    prototypes = [[rng.normal() for _ in range(conditions)] for _ in range(groups)]
    names, rows, truth = [], [], []
    for pos, gene in enumerate(order):
        label = labels[gene]
        base = prototypes[label - 1] if label else [0.0] * conditions
        scale = 1.0 + 0.5 * rng.uniform()
        offset = 2.0 * rng.normal()
        row = []
        for c in range(conditions):
            value = offset + scale * base[c] + (spread if label else 1.0) * rng.normal()
            row.append(value)
        names.append("G%05d" % pos)
        rows.append(row)
        truth.append(label)
    return names, rows, truth


def make_one_profile(genes, conditions, noise, seed):
    """Returns (names, rows, truth): one shared profile plus noise per gene."""
    rng = Lcg(seed)
    profile = [rng.normal() for _ in range(conditions)]
    names, rows = [], []
    for pos in range(genes):
        scale = 1.0 + 0.5 * rng.uniform()
        offset = 2.0 * rng.normal()
        rows.append([offset + scale * (profile[c] + noise * rng.normal()) for c in range(conditions)])
        names.append("G%05d" % pos)
    return names, rows, [1] * genes


def pearson(a, b):
    n = len(a)
    ma, mb = sum(a) / n, sum(b) / n
    sa = math.sqrt(sum((x - ma) ** 2 for x in a))
    sb = math.sqrt(sum((y - mb) ** 2 for y in b))
    return sum((x - ma) * (y - mb) for x, y in zip(a, b)) / (sa * sb)


def write_truth(prefix, names, truth):
    with open(prefix + ".truth", "w", newline="\n") as f:
        for name, label in zip(names, truth):
            f.write("%s\t%d\n" % (name, label))


def write_orig(prefix, names, rows):
    with open(prefix + ".orig", "w", newline="\n") as f:
        f.write("%d %d\n" % (len(rows), len(rows[0])))
        for name, row in zip(names, rows):
            f.write(name + " " + " ".join("%.4f" % v for v in row) + "\n")


def write_sim(prefix, names, rows):
    with open(prefix + ".sim", "w", newline="\n") as f:
        f.write("NAMES:\n")
        for name in names:
            f.write(name + "\n")
        f.write("VALUES:\n")
        for i in range(len(rows)):
            for j in range(i + 1, len(rows)):
                f.write("%d\t%d\t%.4f\n" % (i, j, pearson(rows[i], rows[j])))


def add_unlisted(names, rows, truth, count, seed):
    """Inserts `count` genes without a profile (row None) at random positions
    and renames all genes by their new position."""
    rng = Lcg(seed + 104729)
    rows, truth = list(rows), list(truth)
    for _ in range(count):
        pos = int(rng.uniform() * (len(rows) + 1))
        rows.insert(pos, None)
        truth.insert(pos, 0)
    names = ["G%05d" % pos for pos in range(len(rows))]
    return names, rows, truth


def write_sparse_sim(prefix, names, rows, truth, share, seed):
    """All same-group pairs plus a random share of the other pairs; genes
    without a profile (row None) get no value at all."""
    def centred(row):
        m = sum(row) / len(row)
        d = [x - m for x in row]
        s = math.sqrt(sum(x * x for x in d))
        return [x / s for x in d]
    unit = [centred(r) if r is not None else None for r in rows]
    rng = Lcg(seed + 7919)
    with open(prefix + ".sim", "w", newline="\n") as f:
        f.write("NAMES:\n")
        for name in names:
            f.write(name + "\n")
        f.write("VALUES:\n")
        n = len(rows)
        for i in range(n):
            ui, ti = unit[i], truth[i]
            out = []
            for j in range(i + 1, n):
                keep = rng.uniform() < share or (ti and truth[j] == ti)
                if keep and ui is not None and unit[j] is not None:
                    out.append("%d\t%d\t%.4f\n" % (i, j, sum(map(float.__mul__, ui, unit[j]))))
            f.write("".join(out))


def write_partner_sim(prefix, genes, groups, partners, seed):
    """Equal groups, all same-group pairs plus `partners` random others per gene."""
    rng = Lcg(seed + 104729)
    size = genes // groups
    labels = [1 + k // size if k < size * groups else 1 + k % groups for k in range(genes)]
    for i in range(genes - 1, 0, -1):
        j = int(rng.uniform() * (i + 1))
        labels[i], labels[j] = labels[j], labels[i]
    members = {}
    for pos, label in enumerate(labels):
        members.setdefault(label, []).append(pos)
    # Random partners, each pair filed under its smaller position.
    later = [array("i") for _ in range(genes)]
    for i in range(genes):
        got = 0
        while got < partners:
            j = int(rng.uniform() * genes)
            if j == i or labels[j] == labels[i]:
                continue
            a, b = (i, j) if i < j else (j, i)
            later[a].append(b)
            got += 1
    names = ["G%05d" % pos for pos in range(genes)]
    with open(prefix + ".sim", "w", newline="\n") as f:
        f.write("NAMES:\n")
        for name in names:
            f.write(name + "\n")
        f.write("VALUES:\n")
        for i in range(genes):
            same = [j for j in members[labels[i]] if j > i]
            others = sorted(set(later[i]))
            out = []
            for j in sorted(same + others):
                if labels[j] == labels[i]:
                    v = 60.0 + 8.0 * rng.normal()
                else:
                    v = 10.0 + 4.0 * rng.normal()
                out.append("%d\t%d\t%.2f\n" % (i, j, v))
            f.write("".join(out))
            later[i] = None
    return names, labels


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("kind", choices=["fp", "sd"])
    p.add_argument("prefix")
    p.add_argument("--genes", type=int, default=1000)
    p.add_argument("--conditions", type=int, default=40)
    p.add_argument("--groups", type=int, default=12)
    p.add_argument("--noise", type=float, default=0.2, help="fraction of noise genes")
    p.add_argument("--spread", type=float, default=0.5, help="noise level inside groups")
    p.add_argument("--seed", type=int, default=1)
    p.add_argument("--keep-share", type=float, default=None,
                   help="sd only: write same-group pairs plus this share of the others")
    p.add_argument("--unlisted", type=int, default=0,
                   help="sd sparse only: genes named in the file but on no value line")
    p.add_argument("--partners", type=int, default=None,
                   help="sd only: equal groups of scores, all same-group pairs plus this many "
                        "random partners per gene")
    p.add_argument("--one-profile", type=float, default=None, metavar="S",
                   help="every gene is one shared profile plus noise of this size (a dense set)")
    a = p.parse_args()
    if a.unlisted and (a.kind != "sd" or a.keep_share is None):
        p.error("--unlisted needs sd and --keep-share")
    if a.partners is not None:
        if a.kind != "sd" or a.keep_share is not None:
            p.error("--partners goes with sd and without --keep-share")
        if a.groups < 1 or a.genes < 2 * a.groups or a.partners >= a.genes - a.genes // a.groups:
            p.error("--partners needs at least 2 genes per group and fewer partners than other genes")
        names, labels = write_partner_sim(a.prefix, a.genes, a.groups, a.partners, a.seed)
        write_truth(a.prefix, names, labels)
        return
    if a.one_profile is not None:
        names, rows, truth = make_one_profile(a.genes, a.conditions, a.one_profile, a.seed)
    else:
        names, rows, truth = make_matrix(a.genes, a.conditions, a.groups, a.noise, a.spread, a.seed)
    if a.unlisted:
        names, rows, truth = add_unlisted(names, rows, truth, a.unlisted, a.seed)
    write_truth(a.prefix, names, truth)
    if a.kind == "fp":
        write_orig(a.prefix, names, rows)
    elif a.keep_share is not None:
        write_sparse_sim(a.prefix, names, rows, truth, a.keep_share, a.seed)
    else:
        write_sim(a.prefix, names, rows)


if __name__ == "__main__":
    main()
