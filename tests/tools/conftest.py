"""Shared helpers of the helper commands' tests: where the commands and programs are, and how to run them."""
import os
import subprocess
import sys

import pytest

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
TOOLS = os.path.join(ROOT, "tools")
DATA = os.path.join(ROOT, "tests", "data")
EXAMPLES = os.path.join(ROOT, "examples")
sys.path.insert(0, TOOLS)

VANDREL = os.environ.get("VANDREL") or os.path.join(ROOT, "build", "vandrel", "vandrel")
TFENRICH = os.environ.get("TFENRICH") or os.path.join(ROOT, "build", "tfenrich", "tfenrich")


class Result:
    def __init__(self, proc):
        self.status = proc.returncode
        self.out = proc.stdout.decode("utf-8", "replace")
        self.err = proc.stderr.decode("utf-8", "replace")


def run_tool(name, *args, cwd=None, env=None):
    """Runs one of the commands in tools/ with Debian's Python, against the built vandrel."""
    full_env = dict(os.environ, VANDREL=VANDREL, PYTHONDONTWRITEBYTECODE="1")
    full_env.pop("VANDREL_VERBOSE", None)
    full_env.update(env or {})
    proc = subprocess.run(["/usr/bin/python3", os.path.join(TOOLS, name), *map(str, args)], cwd=cwd,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=full_env)
    return Result(proc)


@pytest.fixture
def tool():
    return run_tool


def read_orig_fixture(name):
    """The values of a bundled .orig fixture, parsed here without the code under test."""
    with open(os.path.join(DATA, "e2e", name)) as f:
        n, width = map(int, f.readline().split()[:2])
        ids, rows = [], []
        for line in f:
            t = line.split()
            if t:
                ids.append(t[0])
                rows.append([float(v) for v in t[1:width + 1]])
    return ids, rows
