"""The HTML report of a tfenrich result: a heatmap of -log10 p-values (TF x target-set) and the
table of enriched pairs with their statistics."""
import math
import os

import numpy as np

from . import figures, page

MAX_HEATMAP_TFS = 60
DATA_ID = "tfenrich-report-data"


def log_p(p):
    return -math.log10(p) if p > 0 else math.inf


def build_tf_report(pairs, source, threshold=None):
    """threshold None: the enriched pairs are those the run listed members for (below its -pval)."""
    sets = sorted({q.target_set for q in pairs})
    tfs = list(dict.fromkeys(q.tf for q in pairs))
    grid = np.full((len(tfs), len(sets)), np.nan)
    tf_row = {t: k for k, t in enumerate(tfs)}
    set_col = {s: k for k, s in enumerate(sets)}
    for q in pairs:
        grid[tf_row[q.tf], set_col[q.target_set]] = log_p(q.p)
    enriched = [q for q in pairs if (q.enriched if threshold is None else q.p < threshold)]
    enriched.sort(key=lambda q: (q.p, q.target_set, q.tf))
    data = {"pairs": len(pairs), "tfs": len(tfs), "target_sets": sets, "enriched": [
        {"target_set": q.target_set, "tf": q.tf, "p": q.p} for q in enriched]}
    parts = ["<h2>Run</h2>", page.table(["item", "value"], [
        ("result file", source), ("TFs", len(tfs)), ("target-sets", ", ".join(map(str, sets)) or "none"),
        ("pairs tested", len(pairs)), ("enriched pairs",
                                       f"{len(enriched)} " + ("(as listed by the run)" if threshold is None
                                                              else f"(p-value below {threshold:g})"))],
        text_columns=(0, 1))]
    if not pairs:
        parts.append('<p class="note">The file holds no hyper-geometric results (was the HG test off?).</p>')
        return page.document(f"tfenrich result: {os.path.basename(source)}", parts, data, DATA_ID)
    finite = grid[np.isfinite(grid)]
    vmax = max(float(finite.max()) if finite.size else 1.0, 1.0)
    shown = np.where(np.isinf(grid), vmax, grid)
    order = np.argsort(-np.nan_to_num(grid, nan=0.0).max(axis=1), kind="stable")  # p = 0 first
    title = "−log10 HG p-value per TF and target-set"
    if len(tfs) > MAX_HEATMAP_TFS:
        order = order[:MAX_HEATMAP_TFS]
        title += f"\n(the {MAX_HEATMAP_TFS} TFs of lowest p-value of {len(tfs)})"
    if np.isinf(grid).any():
        title += "\n(p-value 0 drawn at the top of the scale)"
    data["heatmap_tfs"] = [tfs[k] for k in order]
    parts += ["<h2>Heatmap</h2>", page.image(figures.tf_heatmap_figure(
        shown[order], [tfs[k] for k in order], [str(s) for s in sets], title, vmax), "heatmap", "heatmap")]
    parts.append("<h2>Enriched pairs</h2>")
    if enriched:
        parts.append(page.table(
            ["target-set", "TF", "p-value", "−log10 p", "set hits", "set coverage", "set size",
             "BG hits", "BG coverage", "BG size", "fold (coverage)", "members with hits"],
            [(q.target_set, q.tf, f"{q.p:.2e}", page.number(log_p(q.p), 3), q.set_hits, q.set_coverage,
              q.set_size, q.bg_hits, q.bg_coverage, q.bg_size, page.number(q.fold, 3), " ".join(q.members))
             for q in enriched], text_columns=(1, 11)))
    else:
        parts.append('<p class="note">No pair is enriched.</p>')
    return page.document(f"tfenrich result: {os.path.basename(source)}", parts, data, DATA_ID)
