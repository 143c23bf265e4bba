"""tfenrich-report on result files: the enriched pairs and the heatmap cells come from the file."""

import pytest

from reportdata import embedded

HEADER = "<target-set> <PWM> <p-value> <target-set-stats: hits,coverage,size> <BG-set-stats: hits,coverage,size>\n"
RESULT = HEADER + (
    "1\tE2F_01(human)       \t8.02e-012\t32,16,19\t56,40,140\tGENE001 GENE002 \n"
    "2\tE2F_01(human)       \t7.52e-001\t4,4,14\t56,40,140\n"
    "1\tNFKB_Q6(human)      \t3.10e-001\t3,3,19\t20,18,140\n"
    "2\tNFKB_Q6(human)      \t0.00e+000\t29,13,14\t56,40,140\tGENE021 GENE022 \n"
    "1\tA_VERY_LONG_TF_NAME(mouse)\t4.00e-002\t2,2,19\t5,5,140\tGENE003 \n")


def test_enriched_pairs_and_heatmap(tmp_path, tool):
    (tmp_path / "r.txt").write_text(RESULT)
    r = tool("tfenrich-report", tmp_path / "r.txt")
    assert r.status == 0, r.err
    html = (tmp_path / "r.txt.html").read_text()
    data = embedded(html, "tfenrich-report-data")
    assert data["tfs"] == 3 and data["target_sets"] == [1, 2] and data["pairs"] == 5
    assert [(e["target_set"], e["tf"], e["p"]) for e in data["enriched"]] == [
        (2, "NFKB_Q6(human)", 0.0), (1, "E2F_01(human)", 8.02e-12), (1, "A_VERY_LONG_TF_NAME(mouse)", 0.04)]
    # the row of the most significant pair: statistics and the fold of coverage shares
    row = html.split("<td>2</td><td class=\"text\">NFKB_Q6(human)</td>")[1].split("</tr>")[0]
    cells = [c.split("</td>")[0] for c in row.split(">")[1::2]]
    assert "29" in row and "GENE021 GENE022" in row
    assert f"{(13 / 14) / (40 / 140):.3g}" in row, cells
    assert data["heatmap_tfs"][0] == "NFKB_Q6(human)"


def test_threshold_option_picks_the_pairs(tmp_path, tool):
    (tmp_path / "r.txt").write_text(RESULT)
    r = tool("tfenrich-report", tmp_path / "r.txt", "--pval", "0.5", "-o", tmp_path / "o.html")
    assert r.status == 0, r.err
    data = embedded((tmp_path / "o.html").read_text(), "tfenrich-report-data")
    assert sorted(e["p"] for e in data["enriched"]) == [0.0, 8.02e-12, 0.04, 0.31]


def test_header_only_file_reports_no_hg_results(tmp_path, tool):
    (tmp_path / "r.txt").write_text(HEADER)
    r = tool("tfenrich-report", tmp_path / "r.txt")
    assert r.status == 0, r.err
    assert "no hyper-geometric results" in (tmp_path / "r.txt.html").read_text()


@pytest.mark.parametrize("text,needle", [
    ("", "is empty"),
    ("set tf p\n", "line 1: not a tfenrich result file"),
    (HEADER + "1\tX\tlow\t1,1,1\t1,1,1\n", "line 2: the p-value is not a number: 'low'"),
    (HEADER + "1\tX\t0.1\t1,1\t1,1,1\n", "line 2: statistics are 'hits,coverage,size': '1,1'"),
])
def test_bad_result_files(tmp_path, tool, text, needle):
    (tmp_path / "r.txt").write_text(text)
    r = tool("tfenrich-report", tmp_path / "r.txt")
    assert r.status == 1 and needle in r.err, r.err
    assert not (tmp_path / "r.txt.html").exists()
