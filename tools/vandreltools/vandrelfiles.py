"""vandrel's own files: writing .orig, .sim and the parameters file; reading .res.sol, .distrib and parameters."""
import os
import re

import numpy as np

from .errors import InputError
from .textfile import numbered_lines, open_text

SUFFIX = {"correlation": ".co", "dotproduct": ".dp"}


def safe_names(ids, forbidden=()):
    """The names vandrel gets: the ids themselves when all are blank-free tokens, else id1, id2, ..."""
    if all(i and not re.search(r"\s", i) and i not in forbidden for i in ids):
        return list(ids)
    return [f"id{k + 1}" for k in range(len(ids))]


def orig_text(names, values):
    lines = [f"{len(names)}\t{values.shape[1]}\n"]
    for name, row in zip(names, values):
        lines.append(name + "\t" + "\t".join(repr(float(v)) for v in row) + "\n")
    return "".join(lines)


def sim_text(names, first, second, values):
    out = ["NAMES:\n"]
    out.extend(n + "\n" for n in names)
    out.append("VALUES:\n")
    out.extend(f"{i}\t{j}\t{float(v)!r}\n" for i, j, v in zip(first.tolist(), second.tolist(), values))
    return "".join(out)


def params_text(data_type, input_prefix, output_prefix, similarity=None, homogeneity=None):
    """The parameters file as the suite writes it: key and value lines, Windows line ends."""
    entries = [("DATA_TYPE", data_type), ("INPUT_FILES_PREFIX", input_prefix),
               ("OUTPUT_FILE_PREFIX", output_prefix)]
    if data_type == "FP":
        entries.append(("SIMILARITY_TYPE", similarity.upper()))
        if homogeneity is not None:
            entries.append(("HOMOGENEITY", repr(float(homogeneity))))
    return "".join(f"{k}\r\n{v}\r\n" for k, v in entries)


class Params:
    def __init__(self, data_type, input_prefix, output_prefix, similarity, homogeneity):
        self.data_type = data_type
        self.input_prefix = input_prefix
        self.output_prefix = output_prefix
        self.similarity = similarity  # 'correlation' / 'dotproduct' or None
        self.homogeneity = homogeneity  # None when not given


def read_params(path):
    """Reads a parameters file the way vandrel does: each value line loses its last character."""
    try:
        with open(path, "rb") as f:
            text = f.read().decode("utf-8", "replace")
    except OSError as e:
        raise InputError(path, 0, f"cannot be read ({e.strerror})") from None
    lines = text.split("\n")
    pos = 0
    values = {}

    def entry(key):
        nonlocal pos
        while pos < len(lines) and lines[pos].strip() == "":
            pos += 1
        if pos >= len(lines) or lines[pos].split()[0] != key:
            raise InputError(path, pos + 1, f"expected the key {key}")
        if pos + 1 >= len(lines):
            raise InputError(path, pos + 2, f"no value line after {key}")
        value = lines[pos + 1][:-1]
        pos += 2
        return value

    data_type = entry("DATA_TYPE")
    if data_type not in ("FP", "SD"):
        raise InputError(path, pos, "DATA_TYPE is FP or SD", data_type)
    values["in"] = entry("INPUT_FILES_PREFIX")
    values["out"] = entry("OUTPUT_FILE_PREFIX")
    similarity = homogeneity = None
    if data_type == "FP":
        similarity = entry("SIMILARITY_TYPE").lower()
        if similarity not in SUFFIX:
            raise InputError(path, pos, "SIMILARITY_TYPE is CORRELATION or DOTPRODUCT", similarity)
        rest = "\n".join(lines[pos:]).split()
        if rest and rest[0] == "HOMOGENEITY" and len(rest) > 1:
            try:
                h = float(rest[1])
                homogeneity = h if 0 < h < 1 else None
            except ValueError:
                pass
    return Params(data_type, values["in"], values["out"], similarity, homogeneity)


def resolve_prefix(prefix, params_path):
    """A relative prefix is taken from the current folder, or else from the parameters file's folder."""
    if os.path.isabs(prefix):
        return prefix
    here = os.path.dirname(os.path.abspath(params_path))
    for candidate in (prefix, os.path.join(here, prefix)):
        folder = os.path.dirname(os.path.abspath(candidate))
        base = os.path.basename(candidate)
        if os.path.isdir(folder) and any(f.startswith(base + ".") for f in os.listdir(folder)):
            return candidate
    return prefix


def read_solution(path):
    """The .res.sol file: (names, cluster numbers) in element order."""
    names, clusters = [], []
    with open_text(path) as stream:
        for number, text in numbered_lines(path, stream):
            text = text.rstrip("\r\n")
            if text == "":
                continue
            name, tab, cluster = text.rpartition("\t")
            if not tab or not cluster.isdigit():
                raise InputError(path, number, "a solution line is 'name<TAB>cluster'", text)
            names.append(name)
            clusters.append(int(cluster))
    return names, np.array(clusters, dtype=np.int64)


class Model:
    """The mates/non-mates model: mixture weight and two normal components."""

    def __init__(self, p_mates, mean_mates, sd_mates, mean_non, sd_non, path=None):
        self.p_mates = p_mates
        self.mean_mates, self.sd_mates = mean_mates, sd_mates
        self.mean_non, self.sd_non = mean_non, sd_non
        self.path = path


def read_distrib(path):
    with open_text(path) as stream:
        tokens = [t for _, line in numbered_lines(path, stream) for t in line.split()]
    try:
        if tokens[0] != "P_MATES" or tokens[2] != "NormDistrib" or tokens[7] != "NormDistrib":
            raise ValueError
        if tokens[3] != "EXP" or tokens[5] != "STD" or tokens[8] != "EXP" or tokens[10] != "STD":
            raise ValueError
        numbers = [float(tokens[k]) for k in (1, 4, 6, 9, 11)]
    except (IndexError, ValueError):
        raise InputError(path, 0, "not a model file (P_MATES and two NormDistrib components)") from None
    return Model(*numbers, path=path)


def model_path(data_type, similarity, input_prefix, output_prefix):
    """Where the run's fitted model lies: beside the input, or else beside the output."""
    suffix = SUFFIX[similarity] if data_type == "FP" else ""
    for prefix in (input_prefix, output_prefix):
        path = prefix + suffix + ".distrib"
        if os.path.exists(path):
            return path
    return None
