"""Figures of merit of a clustering.

Profiles (FP) are normalized as vandrel normalizes them: centred and scaled to
unit length for correlation, scaled to unit length for the dot product, so that
the similarity of two genes is the dot product of their normalized profiles.
A cluster's mean profile is the mean of its members' normalized profiles.

- homogeneity of a gene: the similarity of the gene to its cluster's mean
  profile (the correlation or cosine of the two); of a cluster, the mean over
  its members; overall, the mean over all clustered genes;
- separation: the similarity of two clusters' mean profiles; overall, the mean
  over all pairs of clusters weighted by the product of their sizes; of one
  cluster, the mean over the other clusters weighted by their sizes.

For similarity data (SD) only the listed pairs are known: the mean similarity
of pairs within a cluster and of pairs between two different clusters.
Cost: one pass over the profiles plus k x k mean-profile similarities (FP),
one pass over the pairs (SD).
"""
import numpy as np


def normalize(values, similarity):
    """Unit-length rows, centred first for correlation; a constant row stays all zero."""
    x = np.asarray(values, dtype=np.float64)
    if similarity == "correlation":
        x = x - x.mean(axis=1, keepdims=True)
    norm = np.sqrt((x * x).sum(axis=1, keepdims=True))
    with np.errstate(invalid="ignore", divide="ignore"):
        unit = np.where(norm > 0, x / np.where(norm > 0, norm, 1), 0.0)
    return unit


def _unit_rows(x):
    norm = np.sqrt((x * x).sum(axis=1, keepdims=True))
    return np.where(norm > 0, x / np.where(norm > 0, norm, 1), 0.0)


class FPMerit:
    def __init__(self, unit, clusters):
        """unit: normalized profiles; clusters: cluster number per gene (0 = no cluster)."""
        self.k = int(clusters.max()) if len(clusters) else 0
        self.sizes = np.bincount(clusters, minlength=self.k + 1)[1:]
        k = self.k
        means = np.zeros((k, unit.shape[1]))
        clustered = clusters > 0
        np.add.at(means, clusters[clustered] - 1, unit[clustered])
        means /= np.maximum(self.sizes, 1)[:, None]
        self.means = means  # mean normalized profile per cluster (cluster c at row c - 1)
        centre = _unit_rows(means)
        self.gene_similarity = np.full(len(clusters), np.nan)
        self.gene_similarity[clustered] = (unit[clustered] * centre[clusters[clustered] - 1]).sum(axis=1)
        self.cluster_homogeneity = np.array(
            [self.gene_similarity[clusters == c].mean() for c in range(1, k + 1)])
        self.homogeneity = float(self.gene_similarity[clustered].mean()) if clustered.any() else float("nan")
        between = centre @ centre.T
        weights = np.outer(self.sizes, self.sizes).astype(np.float64)
        np.fill_diagonal(weights, 0.0)
        self.between = between
        self.separation = float((between * weights).sum() / weights.sum()) if k > 1 else float("nan")
        self.cluster_separation = np.array(
            [(between[c] * weights[c]).sum() / weights[c].sum() if k > 1 else np.nan for c in range(k)])


class SDMerit:
    def __init__(self, first, second, values, clusters):
        self.k = int(clusters.max()) if len(clusters) else 0
        k = self.k
        self.sizes = np.bincount(clusters, minlength=k + 1)[1:]
        ca, cb = clusters[first], clusters[second]
        both = (ca > 0) & (cb > 0)
        within = both & (ca == cb)
        across = both & (ca != cb)
        self.within_pairs = int(within.sum())
        self.between_pairs = int(across.sum())
        self.within = float(values[within].mean()) if within.any() else float("nan")
        self.between = float(values[across].mean()) if across.any() else float("nan")
        wsum = np.bincount(ca[within], weights=values[within], minlength=k + 1)[1:]
        wnum = np.bincount(ca[within], minlength=k + 1)[1:]
        bsum = (np.bincount(ca[across], weights=values[across], minlength=k + 1)
                + np.bincount(cb[across], weights=values[across], minlength=k + 1))[1:]
        bnum = (np.bincount(ca[across], minlength=k + 1) + np.bincount(cb[across], minlength=k + 1))[1:]
        with np.errstate(invalid="ignore", divide="ignore"):
            self.cluster_within = np.where(wnum > 0, wsum / np.maximum(wnum, 1), np.nan)
            self.cluster_between = np.where(bnum > 0, bsum / np.maximum(bnum, 1), np.nan)
        self.cluster_within_pairs = wnum
