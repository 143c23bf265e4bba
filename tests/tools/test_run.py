"""vandrel-run end to end against the built vandrel: ids, results, parameters file, caches, failures."""
import os

import numpy as np
import pytest

from conftest import DATA, VANDREL, read_orig_fixture

import subprocess


def write_tsv(path, ids, rows, samples=None):
    samples = samples or [f"s{k + 1}" for k in range(len(rows[0]))]
    with open(path, "w") as f:
        f.write("\t".join(['""'] + [f'"{s}"' for s in samples]) + "\n")
        for i, row in zip(ids, rows):
            f.write("\t".join([f'"{i}"'] + [repr(v) for v in row]) + "\n")
    return str(path)


def read_solution(path):
    with open(path) as f:
        return [tuple(line.rstrip("\n").split("\t")) for line in f]


def direct_run(tmp_path, orig_name, similarity="CORRELATION"):
    """vandrel itself on a bundled .orig fixture, the way the suite starts it."""
    d = tmp_path / "direct"
    d.mkdir()
    with open(os.path.join(DATA, "e2e", orig_name)) as src:
        (d / "in.orig").write_text(src.read())
    (d / "p.txt").write_bytes(
        f"DATA_TYPE\r\nFP\r\nINPUT_FILES_PREFIX\r\nin\r\nOUTPUT_FILE_PREFIX\r\nout\r\nSIMILARITY_TYPE\r\n{similarity}\r\n".encode())
    subprocess.run([VANDREL, "p.txt"], cwd=d, check=True, stdout=subprocess.DEVNULL)
    return [c for _, c in read_solution(d / "out.res.sol")]


def test_matrix_with_blank_ids_gives_the_direct_clustering_under_the_input_ids(tmp_path, tool):
    ids, rows = read_orig_fixture("fp_small.orig")
    user_ids = [f"probe {k} of set" for k in range(len(ids))]  # blanks: not possible in .orig
    src = write_tsv(tmp_path / "m.tsv", user_ids, rows)
    r = tool("vandrel-run", src, "-o", tmp_path / "res" / "run")
    assert r.status == 0, r.err
    assert r.err == ""
    sol = read_solution(tmp_path / "res" / "run.res.sol")
    assert [i for i, _ in sol] == user_ids
    clusters = [c for _, c in sol]
    assert clusters == direct_run(tmp_path, "fp_small.orig")
    assert len(set(clusters) - {"0"}) > 1
    params = (tmp_path / "res" / "run.params.txt").read_bytes()
    prefix = str(tmp_path / "res" / "run")
    assert params == (f"DATA_TYPE\r\nFP\r\nINPUT_FILES_PREFIX\r\n{prefix}\r\nOUTPUT_FILE_PREFIX\r\n{prefix}\r\n"
                      "SIMILARITY_TYPE\r\nCORRELATION\r\n").encode()
    for ext in (".anl", ".clusters.tsv", ".report.html", ".orig"):
        assert (tmp_path / "res" / ("run" + ext)).exists(), ext
    assert (tmp_path / "res" / "run.dropped.txt").read_text() == ""


def test_clusters_table_holds_each_genes_correlation_to_its_cluster_mean(tmp_path, tool):
    ids, rows = read_orig_fixture("fp_small.orig")
    src = write_tsv(tmp_path / "m.tsv", ids, rows)
    r = tool("vandrel-run", src, "-o", tmp_path / "run", "--no-report", "--homogeneity", "0.5")
    assert r.status == 0, r.err
    assert not (tmp_path / "run.report.html").exists()
    assert b"HOMOGENEITY\r\n0.5\r\n" in (tmp_path / "run.params.txt").read_bytes()
    lines = (tmp_path / "run.clusters.tsv").read_text().splitlines()
    assert lines[0] == "id\tcluster\tsimilarity_to_cluster_mean"
    table = [l.split("\t") for l in lines[1:]]
    assert [t[0] for t in table] == ids
    x = np.array(rows)
    z = (x - x.mean(1, keepdims=True)) / x.std(1, keepdims=True)
    clusters = np.array([int(t[1]) for t in table])
    for c in set(clusters) - {0}:
        mean = z[clusters == c].mean(0)
        for k in np.flatnonzero(clusters == c):
            assert float(table[k][2]) == pytest.approx(np.corrcoef(x[k], mean)[0, 1], abs=2e-6)
    assert all(t[2] == "" for t in table if t[1] == "0")


def test_missing_values_leave_rows_out_and_are_listed(tmp_path, tool):
    ids, rows = read_orig_fixture("fp_small.orig")
    text_rows = [[repr(v) for v in r] for r in rows]
    text_rows[3][5] = "NA"
    text_rows[10][0] = ""
    text = "id," + ",".join(f"c{k}" for k in range(len(rows[0]))) + "\n" + "".join(
        i + "," + ",".join(r) + "\n" for i, r in zip(ids, text_rows))
    (tmp_path / "m.csv").write_text(text)
    r = tool("vandrel-run", tmp_path / "m.csv", "-o", tmp_path / "run", "--no-report")
    assert r.status == 0, r.err
    assert r.err.count("\n") == 1 and "left out 2 rows with a missing value" in r.err
    assert (tmp_path / "run.dropped.txt").read_text() == f"{ids[3]}\n{ids[10]}\n"
    sol = read_solution(tmp_path / "run.res.sol")
    assert [i for i, _ in sol] == [i for k, i in enumerate(ids) if k not in (3, 10)]


@pytest.mark.parametrize("text,needle", [
    ("id\ta\tb\nr1\t1\t2\nr2\t1\tabc\n", ", line 3: non-numeric value in row 'r2': 'abc'"),
    ("id\ta\tb\nr1\t1\t2\nr2\t1\n", ", line 3: ragged row"),
    ("id\ta\ta\nr1\t1\t2\n", ", line 1: duplicated sample name in the header: 'a'"),
])
def test_bad_input_ends_the_run_before_anything_is_written(tmp_path, tool, text, needle):
    src = tmp_path / "m.tsv"
    src.write_text(text)
    out = tmp_path / "out"
    r = tool("vandrel-run", src, "-o", out / "run")
    assert r.status == 1
    assert r.err.startswith(f"vandrel-run: {src}") and needle in r.err, r.err
    assert not out.exists()


def test_unreadable_input(tmp_path, tool):
    r = tool("vandrel-run", tmp_path / "absent.tsv", "-o", tmp_path / "run")
    assert r.status == 1 and "absent.tsv: cannot be read" in r.err
    assert os.listdir(tmp_path) == []


def test_changed_matrix_under_the_same_prefix_does_not_reuse_stale_caches(tmp_path, tool):
    ids, rows = read_orig_fixture("fp_small.orig")
    first = write_tsv(tmp_path / "a.tsv", ids, rows)
    assert tool("vandrel-run", first, "-o", tmp_path / "run", "--no-report").status == 0
    assert (tmp_path / "run.co.sim").exists()
    # Same ids, other values: vandrel alone would keep the first run's .co.sim (its names match).
    rng = np.random.default_rng(7)
    noise = rng.normal(size=np.array(rows).shape).tolist()
    second = write_tsv(tmp_path / "b.tsv", ids, noise)
    assert tool("vandrel-run", second, "-o", tmp_path / "run", "--no-report").status == 0
    fresh = tool("vandrel-run", second, "-o", tmp_path / "fresh" / "run", "--no-report")
    assert fresh.status == 0
    assert (tmp_path / "run.res.sol").read_text() == (tmp_path / "fresh" / "run.res.sol").read_text()
    assert (tmp_path / "run.co.sim").read_bytes() == (tmp_path / "fresh" / "run.co.sim").read_bytes()


def test_vandrel_failure_is_told_in_words_and_leaves_no_results(tmp_path, tool):
    ids, rows = read_orig_fixture("fp_small.orig")
    src = write_tsv(tmp_path / "m.tsv", ids, rows)
    assert tool("vandrel-run", src, "-o", tmp_path / "run").status == 0
    (tmp_path / "run.co.distrib").write_text("P_MATE 0.1\n")  # a damaged cache of the unchanged input
    r = tool("vandrel-run", src, "-o", tmp_path / "run")
    assert r.status == 1
    assert "vandrel failed: CSimDistrib constructor - illegal file format" in r.err, r.err
    for ext in (".res.sol", ".clusters.tsv", ".report.html"):
        assert not (tmp_path / ("run" + ext)).exists(), ext


def test_similarity_data_from_a_pair_list(tmp_path, tool):
    # three tight groups and some loose genes, ids with blanks, pairs in scrambled order
    rng = np.random.default_rng(3)
    group = [k % 3 for k in range(120)] + [-1] * 30
    names = [f"gene {k}" for k in range(len(group))]
    lines = []
    for x in range(len(names)):
        for y in range(x + 1, len(names)):
            same = group[x] >= 0 and group[x] == group[y]
            v = rng.normal(0.8, 0.05) if same else rng.normal(0.0, 0.15)
            a, b = (names[y], names[x]) if rng.random() < 0.5 else (names[x], names[y])
            lines.append(f"{a}\t{b}\t{v:.4f}\n")
    lines = [lines[k] for k in rng.permutation(len(lines))]
    a0, b0 = lines[5].split("\t")[:2]
    lines[5] = f"{a0}\t{b0}\tNA\n"
    (tmp_path / "pairs.tsv").write_text("".join(lines))
    r = tool("vandrel-run", tmp_path / "pairs.tsv", "--pairs", "-o", tmp_path / "sd")
    assert r.status == 0, r.err
    assert "left out 1 pairs with a missing value" in r.err
    assert (tmp_path / "sd.dropped.txt").read_text() == f"{a0}\t{b0}\n"
    first_seen = list(dict.fromkeys(n for l in lines for n in l.split("\t")[:2]))
    sol = read_solution(tmp_path / "sd.res.sol")
    assert [i for i, _ in sol] == first_seen
    cluster = dict(sol)
    found = [{cluster[n] for n, g in zip(names, group) if g == k} for k in range(3)]
    assert all(len(f) == 1 and f != {"0"} for f in found), found
    assert len(set.union(*found)) == 3
    assert (tmp_path / "sd.clusters.tsv").read_text().splitlines()[0] == "id\tcluster"
    assert (tmp_path / "sd.report.html").exists()


@pytest.mark.parametrize("args,needle", [
    (["--homogeneity", "1.5"], "strictly between 0 and 1"),
    (["--pairs", "--similarity", "dotproduct"], "apply to expression profiles"),
])
def test_wrong_command_lines(tmp_path, tool, args, needle):
    (tmp_path / "m.tsv").write_text("id\ta\nr\t1\n")
    r = tool("vandrel-run", tmp_path / "m.tsv", "-o", tmp_path / "run", *args)
    assert r.status == 2 and needle in r.err


def test_input_that_is_the_converted_file_itself_is_left_untouched(tmp_path, tool):
    src = os.path.join(DATA, "e2e", "fp_small.orig")
    own = tmp_path / "run.orig"
    own.write_bytes(open(src, "rb").read())
    r = tool("vandrel-run", own, "-o", tmp_path / "run")
    assert r.status == 1 and "choose another -o PREFIX" in r.err
    assert own.read_bytes() == open(src, "rb").read()
    assert os.listdir(tmp_path) == ["run.orig"]
