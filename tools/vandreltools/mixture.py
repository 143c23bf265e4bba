"""The fitted mates/non-mates model as curves: the two weighted normal densities and their sum."""
import numpy as np


def normal_pdf(x, mean, sd):
    return np.exp(-0.5 * ((x - mean) / sd) ** 2) / (sd * np.sqrt(2.0 * np.pi))


def model_curves(model, lo, hi, points=400):
    """x grid over [lo, hi] and the densities p*f_mates, (1-p)*f_non-mates and the mixture."""
    x = np.linspace(lo, hi, points)
    mates = model.p_mates * normal_pdf(x, model.mean_mates, model.sd_mates)
    non = (1.0 - model.p_mates) * normal_pdf(x, model.mean_non, model.sd_non)
    return x, mates, non, mates + non


def sample_fp_similarities(unit, count=20000, seed=1):
    """Similarities of a random sample of gene pairs (all pairs when there are fewer than count)."""
    n = unit.shape[0]
    if n < 2:
        return np.zeros(0)
    total = n * (n - 1) // 2
    if total <= count:
        i, j = np.triu_indices(n, 1)
    else:
        rng = np.random.default_rng(seed)
        i = rng.integers(0, n, count)
        j = rng.integers(0, n - 1, count)
        j = np.where(j >= i, j + 1, j)
    return (unit[i] * unit[j]).sum(axis=1)


def sample_values(values, count=20000, seed=1):
    if len(values) <= count:
        return np.asarray(values)
    rng = np.random.default_rng(seed)
    return np.asarray(values)[rng.choice(len(values), count, replace=False)]
