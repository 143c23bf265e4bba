"""Readers of pairwise similarity inputs: vandrel's .sim file and a three-column pair list.

Both give a Pairs table: the names in the order of first appearance, and the
pairs (i < j, by position) with their values, each pair once (its first
appearance counts).  Pairs with a missing value are left out and listed.
One pass over the file; memory is three numbers per pair.
"""
import csv

import numpy as np

from .errors import InputError
from .matrix import check_id
from .textfile import numbered_lines, open_text
from .values import is_missing, parse_number


class Pairs:
    def __init__(self, path, names, first, second, values, dropped):
        self.path = path
        self.names = names
        self.first = first  # int arrays of positions in names, first < second
        self.second = second
        self.values = values  # float64 array
        self.dropped = dropped  # (name a, name b) of pairs left out for a missing value


class _Collector:
    def __init__(self, path):
        self.path = path
        self.names = []
        self.position = {}
        self.seen = set()
        self.first, self.second, self.values = [], [], []
        self.dropped = []

    def index(self, name):
        k = self.position.get(name)
        if k is None:
            k = self.position[name] = len(self.names)
            self.names.append(name)
        return k

    def add(self, a, b, value):
        if a == b:
            return
        if a > b:
            a, b = b, a
        if (a, b) in self.seen:
            return
        self.seen.add((a, b))
        self.first.append(a)
        self.second.append(b)
        self.values.append(value)

    def pairs(self):
        first = np.array(self.first, dtype=np.int64)
        second = np.array(self.second, dtype=np.int64)
        values = np.array(self.values, dtype=np.float64)
        order = np.argsort(first, kind="stable")  # vandrel wants the lines of one first index together
        return Pairs(self.path, self.names, first[order], second[order], values[order], self.dropped)


def read_sim(path):
    """A .sim file: 'NAMES:', one name per line, 'VALUES:', then 'i<TAB>j<TAB>value' lines."""
    pairs = _Collector(path)
    with open_text(path) as stream:
        numbered = numbered_lines(path, stream)
        section = None
        for number, text in numbered:
            tokens = text.split()
            if section is None:
                if not tokens:
                    continue
                if tokens[0] != "NAMES:":
                    raise InputError(path, number, "a .sim file starts with NAMES:", tokens[0])
                section = "names"
                tokens = tokens[1:]
            if section == "names":
                for t in tokens:
                    if t == "VALUES:":
                        section = "values"
                        break
                    if t in pairs.position:
                        raise InputError(path, number, "name listed twice", t)
                    pairs.index(t)
                continue
            if not text[:1].isdigit():
                continue  # vandrel skips lines that do not start with a digit
            if len(tokens) < 3 or not tokens[0].isdigit() or not tokens[1].isdigit():
                raise InputError(path, number, "a values line is 'i<TAB>j<TAB>value'", text.rstrip("\r\n"))
            i, j = int(tokens[0]), int(tokens[1])
            for k in (i, j):
                if k >= len(pairs.names):
                    raise InputError(path, number, f"index beyond the {len(pairs.names)} names", str(k))
            value = parse_number(tokens[2])
            if value is None:
                if is_missing(tokens[2]):
                    pairs.dropped.append((pairs.names[i], pairs.names[j]))
                    continue
                raise InputError(path, number, "non-numeric similarity", tokens[2])
            if i < j:
                pairs.add(i, j, value)
        if section != "values":
            raise InputError(path, 0, "holds no VALUES: line")
    return pairs.pairs()


def read_pair_list(path):
    """Lines 'id_a id_b similarity', separated by tabs, commas or blanks; an optional header line."""
    pairs = _Collector(path)
    with open_text(path) as stream:
        numbered = numbered_lines(path, stream)
        splitter = None
        for number, text in numbered:
            if text.strip() == "":
                continue
            if splitter is None:
                splitter = _splitter(text)
                fields = splitter(text)
                if len(fields) == 3 and parse_number(fields[2]) is None and not is_missing(fields[2]):
                    continue  # a header line
            else:
                fields = splitter(text)
            if len(fields) != 3:
                raise InputError(path, number, f"a pair line has 3 fields, not {len(fields)}",
                                 text.rstrip("\r\n"))
            a, b = fields[0].strip(), fields[1].strip()
            check_id(path, number, a)
            check_id(path, number, b)
            value = parse_number(fields[2])
            if value is None and not is_missing(fields[2]):
                raise InputError(path, number, "non-numeric similarity", fields[2])
            ia, ib = pairs.index(a), pairs.index(b)
            if value is None:
                pairs.dropped.append((a, b))
            else:
                pairs.add(ia, ib, value)
    if splitter is None:
        raise InputError(path, 0, "holds no pair")
    return pairs.pairs()


def _splitter(first_line):
    if "\t" in first_line:
        return lambda text: next(csv.reader([text.rstrip("\r\n")], delimiter="\t"))
    if "," in first_line:
        return lambda text: next(csv.reader([text.rstrip("\r\n")], delimiter=","))
    return lambda text: text.split()
