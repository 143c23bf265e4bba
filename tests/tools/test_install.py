"""cmake --install puts the programs, the helper commands and one man page per command under the
prefix, and the installed commands run from there on their own."""
import os
import shutil
import subprocess

import pytest

from conftest import DATA, ROOT

BUILD = os.environ.get("VANDREL_BUILD_DIR") or os.path.join(ROOT, "build")
COMMANDS = ["vandrel", "tfenrich", "vandrel-run", "vandrel-report", "tfenrich-report"]


@pytest.fixture(scope="module")
def prefix(tmp_path_factory):
    p = tmp_path_factory.mktemp("prefix")
    subprocess.run(["cmake", "--install", BUILD, "--prefix", str(p)], check=True, stdout=subprocess.DEVNULL)
    return p


def test_layout_and_man_pages(prefix):
    for c in COMMANDS:
        assert os.access(prefix / "bin" / c, os.X_OK), c
        page = (prefix / "share" / "man" / "man1" / f"{c}.1").read_text()
        for section in (".SH SYNOPSIS", ".SH OPTIONS", ".SH EXIT STATUS", ".SH EXAMPLE"):
            assert section in page, (c, section)
        if shutil.which("man"):
            text = subprocess.run(["man", "-l", str(prefix / "share" / "man" / "man1" / f"{c}.1")],
                                  stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=dict(os.environ, MANWIDTH="80"))
            assert text.returncode == 0 and b"EXIT STATUS" in text.stdout, c


def test_installed_commands_run_on_their_own(prefix, tmp_path):
    env = {k: v for k, v in os.environ.items() if k not in ("VANDREL", "PYTHONPATH")}
    env["PATH"] = "/usr/bin:/bin"  # neither the build tree nor the sources are on the path
    for c in ("vandrel-run", "vandrel-report", "tfenrich-report"):
        r = subprocess.run([str(prefix / "bin" / c), "--version"], stdout=subprocess.PIPE, env=env, cwd=tmp_path)
        assert r.returncode == 0 and r.stdout.decode().startswith(c), c
    r = subprocess.run([str(prefix / "bin" / "vandrel-run"), os.path.join(DATA, "e2e", "fp_small.orig"),
                        "-o", str(tmp_path / "x"), "--no-report"], stdout=subprocess.PIPE,
                       stderr=subprocess.PIPE, env=env, cwd=tmp_path)
    assert r.returncode == 0, r.stderr
    assert (tmp_path / "x.res.sol").exists()
