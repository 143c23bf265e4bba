"""Reader of tfenrich's result file: a header line, then per TF and target-set
'set<TAB>TF<TAB>p<TAB>hits,coverage,size<TAB>hits,coverage,size[<TAB>members ]'."""
from .errors import InputError
from .textfile import numbered_lines, open_text
from .values import parse_number

HEADER = "<target-set> <PWM> <p-value>"


class Pair:
    def __init__(self, target_set, tf, p, set_stats, bg_stats, members):
        self.target_set = target_set
        self.tf = tf
        self.p = p
        self.set_hits, self.set_coverage, self.set_size = set_stats
        self.bg_hits, self.bg_coverage, self.bg_size = bg_stats
        self.members = members  # listed only for pairs below the run's p-value threshold

    @property
    def enriched(self):
        return bool(self.members)

    @property
    def fold(self):
        """Share of the set's promoters with a hit over the same share in the background."""
        if self.set_size <= 0 or self.bg_size <= 0 or self.bg_coverage <= 0:
            return float("nan")
        return (self.set_coverage / self.set_size) / (self.bg_coverage / self.bg_size)


def _stats(path, number, text):
    parts = text.split(",")
    if len(parts) != 3 or not all(p.strip().lstrip("-").isdigit() for p in parts):
        raise InputError(path, number, "statistics are 'hits,coverage,size'", text)
    return tuple(int(p) for p in parts)


def read_result(path):
    pairs = []
    with open_text(path) as stream:
        header_seen = False
        for number, text in numbered_lines(path, stream):
            line = text.rstrip("\r\n")
            if not header_seen:
                if not line.startswith(HEADER):
                    raise InputError(path, number, "not a tfenrich result file (header line missing)",
                                     line[:60])
                header_seen = True
                continue
            if line.strip() == "":
                continue
            fields = line.split("\t")
            if len(fields) not in (5, 6) or not fields[0].strip().isdigit():
                raise InputError(path, number, "a result line has 5 or 6 tab-separated fields", line[:80])
            p = parse_number(fields[2])
            if p is None:
                raise InputError(path, number, "the p-value is not a number", fields[2])
            members = fields[5].split() if len(fields) == 6 else []
            pairs.append(Pair(int(fields[0]), fields[1].strip(), p, _stats(path, number, fields[3]),
                              _stats(path, number, fields[4]), members))
        if not header_seen:
            raise InputError(path, 0, "is empty; a tfenrich result file starts with a header line")
    return pairs
