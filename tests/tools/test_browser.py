"""The reports opened in headless Chromium: the page renders (a screenshot that is not blank) and
every figure decodes, with one mean-profile figure per cluster."""
import os
import re
import subprocess

import numpy as np
import pytest

from conftest import DATA, EXAMPLES, TFENRICH
from reportdata import embedded

CHROMIUM = "/usr/bin/chromium"
FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync"]


def chromium(tmp_path, *args):
    profile = tmp_path / f"profile{len(os.listdir(tmp_path))}"
    profile.mkdir()
    proc = subprocess.run([CHROMIUM, *FLAGS, f"--user-data-dir={profile}", *args],
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=180)
    return proc.stdout.decode("utf-8", "replace")


def assert_renders(tmp_path, page):
    shot = tmp_path / "shot.png"
    chromium(tmp_path, f"--screenshot={shot}", "--window-size=1200,2400", page.as_uri())
    import matplotlib.image
    pixels = matplotlib.image.imread(str(shot))[:, :, :3]
    # Not blank: a fair share of the pixels is neither background white nor one flat colour.
    not_white = (pixels < 0.95).any(axis=2).mean()
    assert not_white > 0.03, not_white
    assert len(np.unique(pixels.reshape(-1, 3)[::97], axis=0)) > 50


def shown_figures(tmp_path, page):
    dom = chromium(tmp_path, "--dump-dom", page.as_uri())
    m = re.search(r'<body[^>]*data-figures-shown="(\d+)"', dom)
    assert m, dom[:300]
    return int(m.group(1)), dom


pytestmark = pytest.mark.skipif(not os.path.exists(CHROMIUM), reason="needs Debian's chromium")


def test_clustering_report_in_the_browser(tmp_path, tool):
    src = os.path.join(DATA, "e2e", "fp_small.orig")
    r = tool("vandrel-run", src, "-o", tmp_path / "run" / "fp")
    assert r.status == 0, r.err
    page = tmp_path / "run" / "fp.report.html"
    html = page.read_text()
    assert "http://" not in html and "https://" not in html  # nothing to fetch
    k = embedded(html, "vandrel-report-data")["clusters"]
    assert k >= 2
    assert_renders(tmp_path, page)
    shown, dom = shown_figures(tmp_path, page)
    images = len(re.findall(r"<img ", dom))
    assert shown == images  # every figure decoded
    profiles = re.findall(r'<figure class="profile-figure" data-cluster="(\d+)"><img class="profile"', dom)
    assert profiles == [str(c) for c in range(1, k + 1)]


def test_tfenrich_report_in_the_browser(tmp_path, tool):
    result = tmp_path / "result.txt"
    ex = os.path.join(EXAMPLES, "tfenrich")
    subprocess.run([TFENRICH, "-pwmFile", f"{ex}/pwms.txt", "-bgFile", f"{ex}/bg.txt", "-fpFile", f"{ex}/fp.txt",
                    "-tarFile", f"{ex}/targets.txt", "-outFile", str(result)], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    r = tool("tfenrich-report", result, "-o", tmp_path / "tf.html")
    assert r.status == 0, r.err
    assert_renders(tmp_path, tmp_path / "tf.html")
    shown, dom = shown_figures(tmp_path, tmp_path / "tf.html")
    assert shown == 1 and 'class="heatmap"' in dom
