#!/usr/bin/env python3
"""Writes the small tfenrich example inputs into this folder (or the folder
given as first argument).  Deterministic: the same files on every run.

  fp.txt       fingerprints of 150 promoters for 12 TFs, with gene layout
  targets.txt  target-sets 1 to 3 (1 is rich in E2F_01 hits, 2 in NFKB_Q6
               hits, 3 mildly in ETS_B hits) plus two name-only lines (set 0), one
               unknown promoter and one repeated line
  pwms.txt     10 of the 12 TFs (TATA_01 and SP1_Q6 are left out)
  bg.txt       140 of the promoters plus one name that is not in fp.txt
"""
import os
import sys


class Lcg:
    """Small linear congruential generator, so no library random is needed."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF

    def next(self, bound):
        self.state = (self.state * 1103515245 + 12345) & 0xFFFFFFFF
        return (self.state >> 8) % bound


TFS = [
    ("E2F_01", "human"), ("NFKB_Q6", "human"), ("TATA_01", "mouse"),
    ("SP1_Q6", "human"), ("AP1_C", "human"), ("CREB_01", "rat"),
    ("MYC_Q2", "human"), ("P53_01", "human"), ("GATA1_02", "mouse"),
    ("ETS_B", "human"), ("YY1_01", "human"), ("NRF1_Q6", "human"),
]
PROMOTERS = 150
SET1 = list(range(0, 20))      # planted E2F_01 enrichment
SET2 = list(range(20, 35))     # planted NFKB_Q6 enrichment
SET3 = list(range(60, 150, 6))  # mild ETS_B enrichment


def promoter_name(p):
    return "GENE%03d" % (p + 1)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    rng = Lcg(20061)
    lines = ["%d PWMs:" % len(TFS)]
    for name, species in TFS:
        threshold = 0.70 + rng.next(25) / 100.0
        lines.append(" %s ; threshold: %.2f ; species: %s" % (name, threshold, species))
    lines.append("%d fingerprints:" % PROMOTERS)
    for p in range(PROMOTERS):
        up_start = 1
        up_end = 900 + rng.next(200)          # TSS = up_end + 1
        exon1_end = up_end + 80 + rng.next(120)
        intron1_end = exon1_end + 300 + rng.next(400)
        exon2_end = intron1_end + 60 + rng.next(100)
        intron2_end = exon2_end + 200 + rng.next(300)
        cds_start = up_end + 40 + rng.next(30)
        cds_end = intron2_end + 150
        gene = (
            "LLid=%d orgDBsym=G%d TranscriptId=NM_%06d chr=chr%d Location=%d Strand=%d "
            "GeneLength=%d nExons=%d UpstreamStart=%d UpstreamEnd=%d Exon1Start=%d "
            "Exon1End=%d Intron1Start=%d Intron1End=%d Exon2Start=%d Exon2End=%d "
            "Intron2Start=%d Intron2End=%d CdsStart=%d CdsEnd=%d"
            % (1000 + p, p + 1, 5000 + 7 * p, 1 + p % 22, 100000 + 3571 * p,
               1 if p % 3 else -1, cds_end, 2 + p % 5, up_start, up_end,
               up_end + 1, exon1_end, exon1_end + 1, intron1_end, intron1_end + 1,
               exon2_end, exon2_end + 1, intron2_end, cds_start, cds_end))
        words = []
        for t in range(len(TFS)):
            length = 300 + rng.next(900)
            rate = 3
            if t == 0 and p in SET1:
                rate = 14
            if t == 1 and p in SET2:
                rate = 12
            if t == 9 and p in SET3:
                rate = 6
            count = rng.next(rate + 1) // 3
            hits = sorted(1 + rng.next(cds_end) for _ in range(count))
            words.append("%s/%d" % (",".join(str(h) for h in hits) if hits else "-", length))
        lines.append("%s %s" % (promoter_name(p), gene))
        lines.append(" ".join(words))
    with open(os.path.join(out, "fp.txt"), "w") as f:
        f.write("\n".join(lines) + "\n")

    targets = []
    for set_id, members in ((1, SET1), (2, SET2), (3, SET3)):
        targets += ["%s %d" % (promoter_name(p), set_id) for p in members]
    targets.append("GENE999 1")              # not in the fingerprints
    targets.append("%s 2" % promoter_name(SET2[0]))  # already in set 2
    targets.append(promoter_name(40))         # name only: set 0
    targets.append(promoter_name(41))
    with open(os.path.join(out, "targets.txt"), "w") as f:
        f.write("\n".join(targets) + "\n")

    with open(os.path.join(out, "pwms.txt"), "w") as f:
        for name, _ in TFS:
            if name not in ("TATA_01", "SP1_Q6"):
                f.write(name + "\n")

    with open(os.path.join(out, "bg.txt"), "w") as f:
        for p in range(PROMOTERS):
            if p % 15 != 14:  # drops 10 promoters
                f.write(promoter_name(p) + "\n")
        f.write("GENE777\n")


if __name__ == "__main__":
    main()
