#!/usr/bin/env python3
"""Writes a large deterministic tfenrich input set into a folder:

  fp.txt       fingerprints of PROMOTERS promoters for TFS TFs, with gene layout
  targets.txt  SETS target-sets of 20 to 500 promoters; set k is rich in hits
               of TF 10*k (when that TF exists)
  pwms.txt     every TF;  bg.txt  every promoter

    make_tf_large.py OUTDIR [--tfs 1000] [--promoters 20000] [--sets 100]

Every number comes from a small linear congruential generator, so the files
are the same on every machine.
"""
import argparse
import os


class Lcg:
    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF

    def next(self, bound):
        self.state = (self.state * 1103515245 + 12345) & 0xFFFFFFFF
        return (self.state >> 8) % bound


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("out")
    ap.add_argument("--tfs", type=int, default=1000)
    ap.add_argument("--promoters", type=int, default=20000)
    ap.add_argument("--sets", type=int, default=100)
    a = ap.parse_args()
    rng = Lcg(4242)
    os.makedirs(a.out, exist_ok=True)
    tfs = ["TF%04d" % t for t in range(a.tfs)]
    prom = ["P%05d" % p for p in range(a.promoters)]

    sets = []
    for k in range(a.sets):
        size = 20 + rng.next(481)
        start = rng.next(a.promoters)
        step = 1 + rng.next(37)
        members = sorted({(start + i * step) % a.promoters for i in range(size)})
        sets.append(members)
    rich = {}
    for k, members in enumerate(sets):
        t = 10 * k
        if t < a.tfs:
            for p in members:
                rich.setdefault(p, set()).add(t)

    with open(os.path.join(a.out, "fp.txt"), "w") as f:
        f.write("%d PWMs:\n" % a.tfs)
        for t, name in enumerate(tfs):
            f.write(" %s ; threshold: %.2f ; species: human\n" % (name, 0.70 + rng.next(25) / 100.0))
        f.write("%d fingerprints:\n" % a.promoters)
        for p in range(a.promoters):
            up_end = 900 + rng.next(200)
            exon1_end = up_end + 80 + rng.next(120)
            intron1_end = exon1_end + 300 + rng.next(400)
            exon2_end = intron1_end + 60 + rng.next(100)
            intron2_end = exon2_end + 200 + rng.next(300)
            cds_start = up_end + 40 + rng.next(30)
            cds_end = intron2_end + 150
            f.write("%s LLid=%d orgDBsym=G%d TranscriptId=NM_%06d chr=chr%d Location=%d Strand=%d "
                    "GeneLength=%d nExons=%d UpstreamStart=%d UpstreamEnd=%d Exon1Start=%d "
                    "Exon1End=%d Intron1Start=%d Intron1End=%d Exon2Start=%d Exon2End=%d "
                    "Intron2Start=%d Intron2End=%d CdsStart=%d CdsEnd=%d\n"
                    % (prom[p], 1000 + p, p + 1, 5000 + p, 1 + p % 22, 100000 + 3571 * p,
                       1 if p % 3 else -1, cds_end, 2 + p % 5, 1, up_end,
                       up_end + 1, exon1_end, exon1_end + 1, intron1_end, intron1_end + 1,
                       exon2_end, exon2_end + 1, intron2_end, cds_start, cds_end))
            planted = rich.get(p, ())
            words = []
            for t in range(a.tfs):
                r = rng.next(1000)
                count = 0
                if r < 120:
                    count = 1 + r % 2
                if t in planted:
                    count += 2
                if count:
                    hits = sorted(1 + rng.next(cds_end) for _ in range(count))
                    words.append("%s/%d" % (",".join(map(str, hits)), 300 + r))
                else:
                    words.append("-/%d" % (300 + r))
            f.write(" ".join(words) + "\n")

    with open(os.path.join(a.out, "targets.txt"), "w") as f:
        for k, members in enumerate(sets):
            for p in members:
                f.write("%s %d\n" % (prom[p], k + 1))
    with open(os.path.join(a.out, "pwms.txt"), "w") as f:
        f.write("".join(n + "\n" for n in tfs))
    with open(os.path.join(a.out, "bg.txt"), "w") as f:
        f.write("".join(n + "\n" for n in prom))


if __name__ == "__main__":
    main()
