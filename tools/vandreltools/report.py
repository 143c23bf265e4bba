"""The HTML report of one vandrel run: settings and counts, the fitted model over a histogram of
similarities, cluster sizes, per-cluster mean profiles, a heatmap and the figures of merit."""
import os

import numpy as np

from . import figures, page
from .matrix import read_orig
from .merit import FPMerit, SDMerit, normalize
from .mixture import model_curves, sample_fp_similarities, sample_values
from .pairs import read_sim
from .vandrelfiles import (model_path, read_distrib, read_params, read_solution, resolve_prefix)
from .errors import InputError

HEATMAP_ROWS = 1500
DATA_ID = "vandrel-report-data"


class RunData:
    """Everything a report shows, gathered from a run's files or handed over by vandrel-run."""

    def __init__(self, data_type, ids, clusters, *, similarity=None, homogeneity=None, samples=None,
                 values=None, pairs=None, model=None, left_out=None, input_prefix="", output_prefix=""):
        self.data_type = data_type
        self.ids = ids
        self.clusters = np.asarray(clusters, dtype=np.int64)
        self.similarity = similarity
        self.homogeneity = homogeneity
        self.samples = samples
        self.values = values
        self.pairs = pairs
        self.model = model
        self.left_out = left_out
        self.input_prefix = input_prefix
        self.output_prefix = output_prefix


def load_run(params_path):
    """Gathers a run's data from its parameters file and the files it names."""
    params = read_params(params_path)
    inp = resolve_prefix(params.input_prefix, params_path)
    out = resolve_prefix(params.output_prefix, params_path)
    names, clusters = read_solution(out + ".res.sol")
    left_out = None
    dropped = out + ".dropped.txt"
    if os.path.exists(dropped):
        with open(dropped, encoding="utf-8") as f:
            left_out = sum(1 for line in f if line.strip())
    path = model_path(params.data_type, params.similarity, inp, out)
    model = read_distrib(path) if path else None
    common = dict(model=model, left_out=left_out, input_prefix=inp, output_prefix=out)
    if params.data_type == "FP":
        matrix = read_orig(inp + ".orig")
        if matrix.dropped:
            raise InputError(inp + ".orig", 0, f"holds missing values (row {matrix.dropped[0]!r})")
        if len(matrix.ids) != len(names):
            raise InputError(out + ".res.sol", 0, f"lists {len(names)} genes, the input {len(matrix.ids)}")
        return RunData("FP", names, clusters, similarity=params.similarity, homogeneity=params.homogeneity,
                       samples=matrix.samples, values=matrix.values, **common)
    pairs = read_sim(inp + ".sim")
    if len(pairs.names) != len(names):
        raise InputError(out + ".res.sol", 0, f"lists {len(names)} genes, the input {len(pairs.names)}")
    return RunData("SD", names, clusters, pairs=pairs, **common)


def _settings(run, k, singletons):
    rows = [("data type", "FP (expression profiles)" if run.data_type == "FP" else "SD (similarity values)")]
    if run.data_type == "FP":
        rows.append(("similarity", "Pearson correlation" if run.similarity == "correlation" else "cosine (dot product)"))
        rows.append(("homogeneity setting", "not given" if run.homogeneity is None else page.number(run.homogeneity)))
        rows.append(("samples", len(run.samples)))
    rows += [("input prefix", run.input_prefix), ("output prefix", run.output_prefix),
             ("model file", run.model.path if run.model and run.model.path else "none found"),
             ("genes", len(run.ids)), ("clusters", k), ("genes in clusters", len(run.ids) - singletons),
             ("singletons", singletons), ("rows left out", "unknown" if run.left_out is None else run.left_out)]
    return page.table(["setting", "value"], rows, text_columns=(0, 1))


def _model_section(run, sample, data):
    parts = ["<h2>Fitted mates/non-mates model</h2>"]
    curves = None
    if run.model is not None:
        m = run.model
        lo = min([m.mean_non - 4 * m.sd_non, m.mean_mates - 4 * m.sd_mates] + ([sample.min()] if len(sample) else []))
        hi = max([m.mean_non + 4 * m.sd_non, m.mean_mates + 4 * m.sd_mates] + ([sample.max()] if len(sample) else []))
        curves = model_curves(m, lo, hi)
        data["model"] = {"p_mates": m.p_mates, "mean_mates": m.mean_mates, "sd_mates": m.sd_mates,
                         "mean_non_mates": m.mean_non, "sd_non_mates": m.sd_non,
                         "x": curves[0].tolist(), "mates": curves[1].tolist(),
                         "non_mates": curves[2].tolist(), "mixture": curves[3].tolist()}
        parts.append(page.table(["component", "weight", "mean", "SD"], [
            ("mates", page.number(m.p_mates), page.number(m.mean_mates), page.number(m.sd_mates)),
            ("non-mates", page.number(1 - m.p_mates), page.number(m.mean_non), page.number(m.sd_non))]))
    else:
        parts.append('<p class="note">No model file was found; only the histogram is shown.</p>')
    data["histogram_pairs"] = int(len(sample))
    parts.append(page.image(figures.model_figure(sample, curves, "Similarities of a sample of pairs and the fitted model"),
                            "model", "model"))
    return parts


def _heatmap(run, unit, order_key, data):
    clusters = run.clusters
    members = np.flatnonzero(clusters > 0)
    if len(members) == 0:
        return []
    order = members[np.lexsort((-order_key[members], clusters[members]))]
    total = len(order)
    sampled = total > HEATMAP_ROWS
    if sampled:
        order = order[np.unique(np.linspace(0, total - 1, HEATMAP_ROWS).round().astype(int))]
    labels = clusters[order]
    boundaries = np.flatnonzero(np.diff(labels)) + 1
    rows = unit[order] * np.sqrt(unit.shape[1])
    title = "Standardized profiles of the clustered genes, ordered by cluster"
    if sampled:
        title += f"\n(sampled: {len(order)} of {total} genes, evenly spread over the clusters)"
    data["heatmap"] = {"rows": int(len(order)), "of": int(total), "sampled": bool(sampled)}
    label = "z-score" if run.similarity == "correlation" else "value / root mean square"
    return ["<h2>Heatmap</h2>", page.image(figures.heatmap_figure(rows, boundaries, title, label), "heatmap", "heatmap")]


def _fp_sections(run, k, data):
    unit = normalize(run.values, run.similarity)
    merit = FPMerit(unit, run.clusters)
    sample = sample_fp_similarities(unit)
    parts = _model_section(run, sample, data)
    data.update(homogeneity=merit.homogeneity, separation=merit.separation,
                cluster_homogeneity=merit.cluster_homogeneity.tolist(),
                cluster_separation=merit.cluster_separation.tolist())
    parts += ["<h2>Figures of merit</h2>",
              page.table(["measure", "value"], [
                  ("average homogeneity (similarity of a gene to its cluster's mean profile)", page.number(merit.homogeneity)),
                  ("average separation (size-weighted similarity between cluster mean profiles)", page.number(merit.separation))],
                  text_columns=(0,))]
    if k:
        parts += ["<h2>Cluster sizes</h2>", page.image(figures.sizes_figure(merit.sizes), "cluster sizes", "sizes")]
        parts.append(page.table(["cluster", "size", "homogeneity", "separation"], [
            (c + 1, int(merit.sizes[c]), page.number(merit.cluster_homogeneity[c]), page.number(merit.cluster_separation[c]))
            for c in range(k)]))
        scale = np.sqrt(unit.shape[1])
        label = "z-score" if run.similarity == "correlation" else "value / RMS"
        parts.append("<h2>Mean profiles</h2>")
        parts.append(f'<p class="note">Per cluster: the mean of the members\' standardized profiles ({label}) '
                     "with a band of ±1 standard deviation of the members at each sample.</p>")
        parts.append('<div class="profiles">')
        for c in range(1, k + 1):
            rows = unit[run.clusters == c] * scale
            title = f"cluster {c}: {len(rows)} genes, homogeneity {page.number(merit.cluster_homogeneity[c - 1], 3)}"
            img = page.image(figures.profile_figure(rows.mean(axis=0), rows.std(axis=0), run.samples, title, label),
                             f"mean profile of cluster {c}", "profile")
            parts.append(f'<figure class="profile-figure" data-cluster="{c}">{img}<figcaption>cluster {c}</figcaption></figure>')
        parts.append("</div>")
        parts += _heatmap(run, unit, np.nan_to_num(merit.gene_similarity, nan=-2.0), data)
    return parts


def _sd_sections(run, k, data):
    p = run.pairs
    merit = SDMerit(p.first, p.second, p.values, run.clusters)
    parts = _model_section(run, sample_values(p.values), data)
    data.update(within=merit.within, between=merit.between, within_pairs=merit.within_pairs,
                between_pairs=merit.between_pairs, cluster_within=merit.cluster_within.tolist(),
                cluster_between=merit.cluster_between.tolist())
    parts += ["<h2>Figures of merit</h2>",
              '<p class="note">Over the pairs listed in the similarity file.</p>',
              page.table(["measure", "value", "pairs"], [
                  ("mean similarity within clusters", page.number(merit.within), merit.within_pairs),
                  ("mean similarity between different clusters", page.number(merit.between), merit.between_pairs)],
                  text_columns=(0,))]
    if k:
        parts += ["<h2>Cluster sizes</h2>", page.image(figures.sizes_figure(merit.sizes), "cluster sizes", "sizes")]
        parts.append(page.table(["cluster", "size", "mean similarity within", "pairs within", "mean similarity to other clusters"], [
            (c + 1, int(merit.sizes[c]), page.number(merit.cluster_within[c]), int(merit.cluster_within_pairs[c]),
             page.number(merit.cluster_between[c])) for c in range(k)]))
    return parts


def build_report(run, title=None):
    """The report as one HTML text."""
    k = int(run.clusters.max()) if len(run.clusters) else 0
    sizes = np.bincount(run.clusters, minlength=k + 1)
    singletons = int(sizes[0])
    data = {"data_type": run.data_type, "similarity": run.similarity, "genes": len(run.ids), "clusters": k,
            "singletons": singletons, "left_out": run.left_out, "sizes": sizes[1:].tolist()}
    parts = ["<h2>Run</h2>", _settings(run, k, singletons)]
    parts += _fp_sections(run, k, data) if run.data_type == "FP" else _sd_sections(run, k, data)
    return page.document(title or f"vandrel clustering: {os.path.basename(run.output_prefix) or 'run'}",
                         parts, data, DATA_ID)
