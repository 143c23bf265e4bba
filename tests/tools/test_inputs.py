"""Input formats of vandrel-run: every format of one small matrix reads the same, missing values
leave their rows out, and every defect names file, line and value."""
import gzip

import numpy as np
import pytest

from vandreltools.errors import InputError
from vandreltools.matrix import read_matrix
from vandreltools.pairs import read_pair_list, read_sim

IDS = ["g 1", "g2", "g,3", 'g"4']
SAMPLES = ["s1", "s2", "s3"]
VALUES = [[1.5, -2.0, 3e-2], [0.0, 4.25, 1e3], [7.0, 8.0, -9.5], [0.125, 0.5, 2.0]]


def quoted(text):
    return '"' + text.replace('"', '""') + '"'


def delimited(sep, id_header=True, crlf=False):
    end = "\r\n" if crlf else "\n"
    header = ([quoted("")] if id_header else []) + [quoted(s) for s in SAMPLES]
    lines = [sep.join(header)]
    for i, row in zip(IDS, VALUES):
        lines.append(sep.join([quoted(i)] + [repr(v) for v in row]))
    return end.join(lines) + end


def series(text_rows):
    return ("!Series_title\t\"a test\"\n!Sample_geo_accession\t\"GSM1\"\t\"GSM2\"\t\"GSM3\"\n"
            "!series_matrix_table_begin\n" + text_rows + "!series_matrix_table_end\n")


def write(path, text, compress=False):
    if compress:
        with gzip.open(path, "wt", encoding="utf-8", newline="") as f:
            f.write(text)
    else:
        with open(path, "w", encoding="utf-8", newline="") as f:
            f.write(text)
    return str(path)


FORMATS = [
    ("tsv", "m.tsv", lambda: delimited("\t"), False),
    ("tsv with CRLF", "m.txt", lambda: delimited("\t", crlf=True), False),
    ("csv", "m.csv", lambda: delimited(","), False),
    ("csv, header without the id column (R's write.table)", "m.csv", lambda: delimited(",", id_header=False), False),
    ("tsv.gz", "m.tsv.gz", lambda: delimited("\t"), True),
    ("series matrix", "GSE1_series_matrix.txt", lambda: series(delimited("\t")), False),
    ("series matrix .gz", "GSE1_series_matrix.txt.gz", lambda: series(delimited("\t")), True),
]


@pytest.mark.parametrize("what,name,make,compress", FORMATS, ids=[f[0] for f in FORMATS])
def test_every_matrix_format_reads_the_same_table(tmp_path, what, name, make, compress):
    m = read_matrix(write(tmp_path / name, make(), compress))
    assert m.ids == IDS
    assert m.samples == SAMPLES
    np.testing.assert_array_equal(m.values, np.array(VALUES))
    assert m.dropped == []


def test_orig_file_values_may_span_lines_and_extra_values_are_ignored(tmp_path):
    text = "3 2\nA 1 2 99\n\nB 3\n4\nC 5 6\nD 7 8\n"
    m = read_matrix(write(tmp_path / "x.orig", text))
    assert m.ids == ["A", "B", "C"]
    np.testing.assert_array_equal(m.values, [[1, 2], [3, 4], [5, 6]])


def test_rows_with_missing_values_are_left_out_in_order(tmp_path):
    text = "id\ta\tb\nr1\t1\t2\nr2\tNA\t2\nr3\t3\t\nr4\t4\t5\nr5\tnan\tNaN\nr6\tnull\t1\n"
    m = read_matrix(write(tmp_path / "m.tsv", text))
    assert m.ids == ["r1", "r4"]
    assert m.dropped == ["r2", "r3", "r5", "r6"]
    np.testing.assert_array_equal(m.values, [[1, 2], [4, 5]])


BAD = [
    ("non-numeric value", "m.tsv", "id\ta\tb\nr1\t1\t2\nr2\t1\tx7\n", 3, "'x7'"),
    ("infinity is not a value vandrel can use", "m.tsv", "id\ta\tb\nr1\tinf\t2\n", 2, "'inf'"),
    ("number written with an underscore", "m.csv", "id,a,b\nr1,1_0,2\n", 2, "'1_0'"),
    ("ragged row, too short", "m.tsv", "id\ta\tb\nr1\t1\t2\nr2\t1\n", 3, "ragged row"),
    ("ragged row, too long", "m.csv", "id,a,b\nr1,1,2,3,4\n", 2, "ragged row"),
    ("duplicated sample name", "m.tsv", "id\ta\tb\ta\nr1\t1\t2\t3\n", 1, "'a'"),
    ("header without tab or comma", "m.txt", "id a b\nr1 1 2\n", 1, "neither a tab nor a comma"),
    ("series table not closed", "GSE2_series_matrix.txt",
     "!series_matrix_table_begin\n\"ID_REF\"\t\"GSM1\"\n\"p1\"\t1\n", 3, "no closing"),
    ("series file without a table", "GSE3_series_matrix.txt", "!Series_title\t\"x\"\n", 0, "no !series_matrix_table_begin"),
    ("orig file shorter than declared", "x.orig", "3 2\nA 1 2\nB 3 4\n", 1, "declares 3 rows"),
    ("orig row cut short", "x.orig", "2 3\nA 1 2 3\nB 4\n", 3, "ends before"),
    ("id with a tab", "m.csv", 'id,a\n"x\ty",1\n', 2, "tab or a line break"),
]


@pytest.mark.parametrize("what,name,text,line,needle", BAD, ids=[b[0] for b in BAD])
def test_bad_matrices_name_file_line_and_value(tmp_path, what, name, text, line, needle):
    path = write(tmp_path / name, text)
    with pytest.raises(InputError) as e:
        read_matrix(path)
    assert e.value.line == line
    message = str(e.value)
    assert message.startswith(path + (f", line {line}: " if line else ": ")), message
    assert needle in message


def test_unreadable_files(tmp_path):
    with pytest.raises(InputError, match="cannot be read"):
        read_matrix(str(tmp_path / "absent.tsv"))
    bad_gzip = write(tmp_path / "m.tsv.gz", "id\ta\nr1\t1\n")  # not compressed
    with pytest.raises(InputError, match="cannot be read"):
        read_matrix(bad_gzip)
    latin1 = tmp_path / "m.csv"
    latin1.write_bytes("id,a\nr\xe9,1\n".encode("latin-1"))
    with pytest.raises(InputError, match="line 2: cannot be read"):
        read_matrix(str(latin1))


def test_sim_file_and_pair_list_give_the_same_pairs(tmp_path):
    sim = write(tmp_path / "x.sim", "NAMES:\nA\nB\nC\nVALUES:\n0\t1\t0.5\n0\t2\tNA\n0\t1\t0.9\n"
                "# note\n1\t2\t-0.25\n2\t1\t0.7\n")
    p = read_sim(sim)
    assert p.names == ["A", "B", "C"]
    assert list(zip(p.first.tolist(), p.second.tolist(), p.values.tolist())) == [(0, 1, 0.5), (1, 2, -0.25)]
    assert p.dropped == [("A", "C")]
    lst = write(tmp_path / "pairs.tsv", "a\tb\tsimilarity\nA\tB\t0.5\nA\tC\tNA\nB\tA\t0.9\nC\tB\t-0.25\nB\tB\t1\n")
    q = read_pair_list(lst)
    assert q.names == ["A", "B", "C"]
    assert list(zip(q.first.tolist(), q.second.tolist(), q.values.tolist())) == [(0, 1, 0.5), (1, 2, -0.25)]
    assert q.dropped == [("A", "C")]


def test_pair_list_ids_with_blanks_and_any_line_order(tmp_path):
    lst = write(tmp_path / "pairs.csv", '"gene b","gene a",0.3\n"gene c","gene a",0.1\n"gene b","gene c",0.2\n')
    q = read_pair_list(lst)
    assert q.names == ["gene b", "gene a", "gene c"]
    # grouped by the first position, as vandrel needs them
    assert list(zip(q.first.tolist(), q.second.tolist())) == [(0, 1), (0, 2), (1, 2)]


BAD_PAIRS = [
    ("non-numeric similarity", "A\tB\t0.1\nA\tC\thigh\n", 2, "'high'"),
    ("two fields", "A\tB\t0.1\nA\tC\n", 2, "3 fields"),
]


@pytest.mark.parametrize("what,text,line,needle", BAD_PAIRS, ids=[b[0] for b in BAD_PAIRS])
def test_bad_pair_lists(tmp_path, what, text, line, needle):
    path = write(tmp_path / "p.tsv", text)
    with pytest.raises(InputError) as e:
        read_pair_list(path)
    assert e.value.line == line and needle in str(e.value)


def test_sim_index_beyond_the_names(tmp_path):
    path = write(tmp_path / "x.sim", "NAMES:\nA\nB\nVALUES:\n0\t2\t0.5\n")
    with pytest.raises(InputError, match=r"line 5: index beyond the 2 names: '2'"):
        read_sim(path)
