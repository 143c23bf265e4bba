"""Readers of expression matrices: delimited tables with a header, GEO series-matrix files and .orig files.

Each reader returns a Matrix: the row ids and sample names in input order, the
values of the kept rows, and the ids of the rows left out because a value was
missing.  Any other defect (a non-numeric value, a ragged row, a duplicated
sample name, an unreadable file) raises an InputError naming file, line and
value.  Reading is one pass over the file; memory is one float per value.
"""
import csv
import os
import re

import numpy as np

from .errors import InputError
from .textfile import numbered_lines, open_text
from .values import is_missing, parse_number

SERIES_BEGIN = "!series_matrix_table_begin"
SERIES_END = "!series_matrix_table_end"


class Matrix:
    def __init__(self, path, ids, samples, values, dropped):
        self.path = path
        self.ids = ids  # kept rows, input order
        self.samples = samples
        self.values = values  # float64 array, one row per kept id
        self.dropped = dropped  # ids of rows left out for a missing value, input order


def input_kind(path):
    """'orig', 'series' or 'delimited', from the file name (and a series file's first line)."""
    name = os.path.basename(str(path))
    bare = name[:-3] if name.endswith(".gz") else name
    if bare.endswith(".orig"):
        return "orig"
    if bare.endswith("_series_matrix.txt"):
        return "series"
    return "delimited"


def read_matrix(path):
    kind = input_kind(path)
    if kind == "orig":
        return read_orig(path)
    if kind == "series":
        return read_series_matrix(path)
    return read_delimited(path)


class _Rows:
    """Collects the data rows of a table and checks them one by one."""

    def __init__(self, path, width):
        self.path = path
        self.width = width  # number of samples
        self.ids = []
        self.rows = []
        self.dropped = []

    def add(self, line, fields):
        if len(fields) != self.width + 1:
            raise InputError(self.path, line,
                             f"ragged row: {len(fields)} fields where the header gives {self.width + 1}",
                             _shorten(fields))
        row_id = fields[0].strip()
        check_id(self.path, line, row_id)
        values = []
        missing = False
        for token in fields[1:]:
            number = parse_number(token)
            if number is None:
                if is_missing(token):
                    missing = True
                    continue
                raise InputError(self.path, line, f"non-numeric value in row {row_id!r}", token)
            values.append(number)
        if missing:
            self.dropped.append(row_id)
        else:
            self.ids.append(row_id)
            self.rows.append(values)

    def matrix(self, samples):
        values = np.array(self.rows, dtype=np.float64).reshape(len(self.rows), self.width)
        return Matrix(self.path, self.ids, samples, values, self.dropped)


def check_id(path, line, row_id):
    if row_id == "":
        raise InputError(path, line, "empty row id")
    if any(c in row_id for c in "\t\r\n"):
        raise InputError(path, line, "row id holds a tab or a line break", row_id)


def _shorten(fields):
    text = "\t".join(fields)
    return text if len(text) <= 80 else text[:77] + "..."


def _check_samples(path, line, samples):
    seen = {}
    for name in samples:
        if name in seen:
            raise InputError(path, line, "duplicated sample name in the header", name)
        seen[name] = True
    if not samples:
        raise InputError(path, line, "the header names no sample")


def read_delimited(path):
    with open_text(path) as stream:
        numbered = numbered_lines(path, stream)
        first = None
        pending = []
        for number, text in numbered:
            pending.append((number, text))
            if text.strip() != "":
                first = text
                break
        if first is None:
            raise InputError(path, 0, "holds no header line")
        if "\t" in first:
            delimiter = "\t"
        elif "," in first:
            delimiter = ","
        else:
            raise InputError(path, pending[-1][0], "the header line holds neither a tab nor a comma",
                             first.rstrip("\r\n"))
        return _read_table(path, _chain(pending, numbered), delimiter)


def _chain(pending, numbered):
    yield from pending
    yield from numbered


def _read_table(path, numbered, delimiter, series=False):
    header = None
    header_line = 0
    rows = None
    state = {"line": 0, "end": False}

    def lines():
        for number, text in numbered:
            state["line"] = number
            if series and text.startswith(SERIES_END):
                state["end"] = True
                return
            yield text

    reader = csv.reader(lines(), delimiter=delimiter, quotechar='"')
    try:
        for fields in reader:
            line = state["line"]
            if not fields or all(f.strip() == "" for f in fields):
                continue
            if header is None:
                header, header_line = fields, line
                continue
            if rows is None:
                # R's write.table with row names but without col.names=NA leaves the
                # id column out of the header: the header then names only samples.
                if len(fields) == len(header) + 1:
                    samples = [s.strip() for s in header]
                else:
                    samples = [s.strip() for s in header[1:]]
                _check_samples(path, header_line, samples)
                rows = _Rows(path, len(samples))
            rows.add(line, fields)
    except csv.Error as e:
        raise InputError(path, state["line"], f"cannot be parsed ({e})") from None
    if series and not state["end"]:
        raise InputError(path, state["line"], f"the table has no closing {SERIES_END} line")
    if header is None:
        raise InputError(path, state["line"], "holds no header line")
    if rows is None:
        raise InputError(path, header_line, "holds a header but no data row")
    return rows.matrix(samples)


def read_series_matrix(path):
    with open_text(path) as stream:
        numbered = numbered_lines(path, stream)
        for number, text in numbered:
            if text.rstrip("\r\n").strip() == SERIES_BEGIN:
                return _read_table(path, numbered, "\t", series=True)
        raise InputError(path, 0, f"holds no {SERIES_BEGIN} line")


def read_orig(path):
    """A .orig file: 'N L' on line 1, then per row a blank-free name and L numbers (which may span lines)."""
    with open_text(path) as stream:
        numbered = numbered_lines(path, stream)
        header = None
        for number, text in numbered:
            if text.strip():
                header = (number, text.split())
                break
        if header is None:
            raise InputError(path, 0, "holds no header line")
        number, tokens = header
        if len(tokens) < 2 or not re.fullmatch(r"\d+", tokens[0]) or not re.fullmatch(r"\d+", tokens[1]):
            raise InputError(path, number, "header must start with the number of rows and the row length",
                             " ".join(tokens[:2]))
        declared, width = int(tokens[0]), int(tokens[1])
        rows = _Rows(path, width)
        record = None
        for number, text in numbered:
            if len(rows.ids) + len(rows.dropped) == declared:
                break
            tokens = text.split()
            if record is None:
                if not tokens:
                    continue
                record = (number, [tokens[0]] + tokens[1:width + 1])
            else:
                record[1].extend(tokens[:width + 1 - len(record[1])])
            if len(record[1]) == width + 1:
                rows.add(record[0], record[1])
                record = None
        if record is not None:
            raise InputError(path, record[0], f"row {record[1][0]!r} ends before its {width} values")
        found = len(rows.ids) + len(rows.dropped)
        if found < declared:
            raise InputError(path, 1, f"declares {declared} rows but holds {found}")
    samples = [str(k + 1) for k in range(width)]
    return rows.matrix(samples)
