"""The report's numbers against values computed here from the run's files, for profiles and
for similarity data, and the standalone command on a run made by vandrel alone."""
import math
import os
import shutil
import subprocess

import numpy as np
import pytest

from conftest import DATA, EXAMPLES, VANDREL
from reportdata import embedded


def run_suite_way(folder, kind, source, similarity="CORRELATION", homogeneity=None):
    folder.mkdir()
    ext = ".orig" if kind == "FP" else ".sim"
    shutil.copy(source, folder / ("in" + ext))
    text = f"DATA_TYPE\r\n{kind}\r\nINPUT_FILES_PREFIX\r\nin\r\nOUTPUT_FILE_PREFIX\r\nout\r\n"
    if kind == "FP":
        text += f"SIMILARITY_TYPE\r\n{similarity}\r\n"
        if homogeneity:
            text += f"HOMOGENEITY\r\n{homogeneity}\r\n"
    (folder / "p.txt").write_bytes(text.encode())
    subprocess.run([VANDREL, "p.txt"], cwd=folder, check=True, stdout=subprocess.DEVNULL)
    return folder / "p.txt"


def solution(path):
    with open(path) as f:
        return np.array([int(l.rstrip("\n").split("\t")[1]) for l in f])


def orig_values(path):
    with open(path) as f:
        f.readline()
        return np.array([[float(v) for v in l.split()[1:]] for l in f if l.strip()])


def distrib(path):
    t = open(path).read().split()
    return float(t[1]), float(t[4]), float(t[6]), float(t[9]), float(t[11])


@pytest.mark.parametrize("similarity", ["CORRELATION", "DOTPRODUCT"])
def test_fp_report_numbers(tmp_path, tool, similarity):
    params = run_suite_way(tmp_path / "run", "FP", os.path.join(DATA, "e2e", "fp_small.orig"), similarity)
    r = tool("vandrel-report", params, cwd=tmp_path / "run")
    assert r.status == 0, r.err
    html = (tmp_path / "run" / "out.report.html").read_text()
    data = embedded(html, "vandrel-report-data")

    clusters = solution(tmp_path / "run" / "out.res.sol")
    x = orig_values(tmp_path / "run" / "in.orig")
    k = clusters.max()
    assert k >= 2
    sizes = [int((clusters == c).sum()) for c in range(1, k + 1)]
    assert data["sizes"] == sizes
    assert data["genes"] == len(clusters) and data["clusters"] == k
    assert data["singletons"] == int((clusters == 0).sum())

    def sim(a, b):  # Pearson correlation or cosine, straight from the definitions
        if similarity == "CORRELATION":
            return float(np.corrcoef(a, b)[0, 1])
        return float(a @ b / math.sqrt((a @ a) * (b @ b)))

    if similarity == "CORRELATION":
        y = (x - x.mean(1, keepdims=True))
    else:
        y = x
    y = y / np.sqrt((y * y).sum(1, keepdims=True))
    means = [y[clusters == c].mean(0) for c in range(1, k + 1)]
    per_gene = {g: sim(x[g], means[clusters[g] - 1]) for g in np.flatnonzero(clusters > 0)}
    homog = [np.mean([per_gene[g] for g in np.flatnonzero(clusters == c)]) for c in range(1, k + 1)]
    assert data["cluster_homogeneity"] == pytest.approx(homog, abs=1e-9)
    assert data["homogeneity"] == pytest.approx(np.mean(list(per_gene.values())), abs=1e-9)
    num = den = 0.0
    for a in range(k):
        for b in range(a + 1, k):
            w = sizes[a] * sizes[b]
            num += w * sim(means[a], means[b])
            den += w
    assert data["separation"] == pytest.approx(num / den, abs=1e-9)
    own = [sum(sizes[b] * sim(means[a], means[b]) for b in range(k) if b != a) /
           sum(sizes[b] for b in range(k) if b != a) for a in range(k)]
    assert data["cluster_separation"] == pytest.approx(own, abs=1e-9)

    suffix = ".co" if similarity == "CORRELATION" else ".dp"
    p, mt, st, mf, sf = distrib(tmp_path / "run" / f"in{suffix}.distrib")
    model = data["model"]
    for xv, mates, non, mix in list(zip(model["x"], model["mates"], model["non_mates"], model["mixture"]))[::37]:
        fm = p * math.exp(-0.5 * ((xv - mt) / st) ** 2) / (st * math.sqrt(2 * math.pi))
        fn = (1 - p) * math.exp(-0.5 * ((xv - mf) / sf) ** 2) / (sf * math.sqrt(2 * math.pi))
        assert mates == pytest.approx(fm, rel=1e-9, abs=1e-300)
        assert non == pytest.approx(fn, rel=1e-9, abs=1e-300)
        assert mix == pytest.approx(fm + fn, rel=1e-9)
    # The curve spans the fitted components.
    assert model["x"][0] < min(mt, mf) and model["x"][-1] > max(mt, mf)
    assert html.count('class="profile-figure"') == k
    assert data["heatmap"] == {"rows": int((clusters > 0).sum()), "of": int((clusters > 0).sum()), "sampled": False}


def test_sd_report_numbers(tmp_path, tool):
    params = run_suite_way(tmp_path / "run", "SD", os.path.join(EXAMPLES, "sd", "genes.sim"))
    r = tool("vandrel-report", params, "-o", tmp_path / "sd.html")  # relative prefixes, from another folder
    assert r.status == 0, r.err
    data = embedded((tmp_path / "sd.html").read_text(), "vandrel-report-data")
    clusters = solution(tmp_path / "run" / "out.res.sol")
    within, between = [], []
    per = {}
    seen = set()
    lines = open(tmp_path / "run" / "in.sim").read().split("VALUES:\n")[1].splitlines()
    for line in lines:
        i, j, v = line.split("\t")
        i, j, v = int(i), int(j), float(v)
        if i >= j or (i, j) in seen:
            continue
        seen.add((i, j))
        if clusters[i] and clusters[j]:
            if clusters[i] == clusters[j]:
                within.append(v)
                per.setdefault(clusters[i], []).append(v)
            else:
                between.append(v)
    assert data["within"] == pytest.approx(np.mean(within), abs=1e-12)
    assert data["between"] == pytest.approx(np.mean(between), abs=1e-12)
    assert data["within_pairs"] == len(within) and data["between_pairs"] == len(between)
    assert data["cluster_within"] == pytest.approx([np.mean(per[c]) for c in range(1, clusters.max() + 1)])
    assert data["sizes"] == [int((clusters == c).sum()) for c in range(1, clusters.max() + 1)]
    assert data["model"]["p_mates"] == pytest.approx(distrib(tmp_path / "run" / "in.distrib")[0])


def test_heatmap_is_sampled_for_many_genes_and_says_so(tmp_path):
    from vandreltools import report
    rng = np.random.default_rng(5)
    n = 4000
    base = rng.normal(size=(4, 12))
    clusters = np.repeat([1, 2, 3, 4], n // 4)
    values = base[clusters - 1] + 0.3 * rng.normal(size=(n, 12))
    run = report.RunData("FP", [f"g{k}" for k in range(n)], clusters, similarity="correlation",
                         samples=[str(k) for k in range(12)], values=values)
    html = report.build_report(run)
    data = embedded(html, "vandrel-report-data")
    assert data["heatmap"] == {"rows": report.HEATMAP_ROWS, "of": n, "sampled": True}
    assert data["homogeneity"] > 0.9 and data["separation"] < 0.5


def test_missing_solution_is_an_error(tmp_path, tool):
    (tmp_path / "p.txt").write_bytes(b"DATA_TYPE\r\nSD\r\nINPUT_FILES_PREFIX\r\nin\r\nOUTPUT_FILE_PREFIX\r\nout\r\n")
    r = tool("vandrel-report", tmp_path / "p.txt", cwd=tmp_path)
    assert r.status == 1 and "out.res.sol: cannot be read" in r.err
    assert os.listdir(tmp_path) == ["p.txt"]
