"""Matplotlib figures of a run, each rendered to PNG bytes (no display needed)."""
import io

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

DPI = 90


def png(fig):
    buffer = io.BytesIO()
    fig.savefig(buffer, format="png", dpi=DPI, bbox_inches="tight")
    plt.close(fig)
    return buffer.getvalue()


def model_figure(sample, curves, title):
    fig, ax = plt.subplots(figsize=(7, 3.6))
    if len(sample):
        ax.hist(sample, bins=60, density=True, color="#c8d3e0", edgecolor="#9aaabb",
                label=f"similarities ({len(sample)} pairs)")
    if curves is not None:
        x, mates, non, mix = curves
        ax.plot(x, mates, color="#d62728", label="mates (weighted)")
        ax.plot(x, non, color="#1f77b4", label="non-mates (weighted)")
        ax.plot(x, mix, color="black", linestyle="--", label="mixture")
    ax.set_xlabel("similarity")
    ax.set_ylabel("density")
    ax.set_title(title)
    ax.legend(fontsize=8)
    return png(fig)


def sizes_figure(sizes):
    fig, ax = plt.subplots(figsize=(7, 3))
    idx = np.arange(1, len(sizes) + 1)
    ax.bar(idx, sizes, color="#4c72b0")
    ax.set_xlabel("cluster")
    ax.set_ylabel("genes")
    ax.set_title("Cluster sizes")
    if len(sizes) <= 30:
        ax.set_xticks(idx)
    return png(fig)


def profile_figure(mean, sd, samples, title, ylabel):
    fig, ax = plt.subplots(figsize=(4.2, 2.4))
    x = np.arange(len(mean))
    ax.fill_between(x, mean - sd, mean + sd, color="#9ecae1", label="±1 SD")
    ax.plot(x, mean, color="#08519c", linewidth=1.3, label="mean")
    ax.axhline(0, color="#888888", linewidth=0.5)
    ax.set_title(title, fontsize=9)
    ax.set_ylabel(ylabel, fontsize=8)
    ax.tick_params(labelsize=7)
    if len(samples) <= 24:
        ax.set_xticks(x)
        ax.set_xticklabels(samples, rotation=90, fontsize=6)
    else:
        ax.set_xlabel(f"{len(samples)} samples", fontsize=8)
    return png(fig)


def heatmap_figure(rows, boundaries, title, label):
    fig, ax = plt.subplots(figsize=(7, 6))
    limit = np.nanpercentile(np.abs(rows), 98) if rows.size else 1.0
    image = ax.imshow(rows, aspect="auto", interpolation="nearest", cmap="RdBu_r",
                      vmin=-limit, vmax=limit)
    for b in boundaries:
        ax.axhline(b - 0.5, color="black", linewidth=0.4)
    ax.set_xlabel("sample")
    ax.set_ylabel("genes, ordered by cluster")
    ax.set_yticks([])
    ax.set_title(title, fontsize=9)
    fig.colorbar(image, ax=ax, label=label)
    return png(fig)


def tf_heatmap_figure(matrix, tfs, sets, title, vmax):
    height = max(3.0, 0.22 * len(tfs) + 1.5)
    fig, ax = plt.subplots(figsize=(min(12, 2.5 + 0.5 * len(sets)), height))
    image = ax.imshow(matrix, aspect="auto", interpolation="nearest", cmap="magma_r", vmin=0, vmax=vmax)
    ax.set_yticks(np.arange(len(tfs)))
    ax.set_yticklabels(tfs, fontsize=7)
    ax.set_xticks(np.arange(len(sets)))
    ax.set_xticklabels(sets, fontsize=8)
    ax.set_xlabel("target-set")
    ax.set_title(title, fontsize=9)
    fig.colorbar(image, ax=ax, label="−log10 p-value")
    return png(fig)
