"""Shared pictures for the zephra package's tests. The package is found through PYTHONPATH
(the build tree's python folder, set by ctest)."""

import numpy as np


def blue_screen(height, width, dtype, channels=3, seed=1):
    """A blue-screen shot: an uneven blue screen with a grey, a skin-coloured and a
    semi-transparent blend region in front of it, plus grain."""
    rng = np.random.default_rng(seed)
    y, x = np.mgrid[0:height, 0:width] / np.array([height, width])[:, None, None]
    rgb = np.empty((height, width, 3))
    rgb[..., 0] = 0.05 + 0.03 * x
    rgb[..., 1] = 0.11 + 0.05 * y
    rgb[..., 2] = 0.40 + 0.3 * x * y
    person = (x - 0.45) ** 2 + (y - 0.5) ** 2 < 0.08
    rgb[person] = [0.55, 0.42, 0.35]
    grey = (x > 0.75) & (y < 0.4)
    rgb[grey] = [0.5, 0.5, 0.5]
    blend = (x < 0.25) & (y > 0.6)
    rgb[blend] = 0.5 * rgb[blend] + 0.5 * np.array([0.8, 0.7, 0.2])
    rgb += rng.normal(0, 0.01, rgb.shape)
    return to_samples(rgb, dtype, channels, rng)


def plate(height, width, dtype, channels=3, seed=2):
    """A background plate: smooth gradients with noise."""
    rng = np.random.default_rng(seed)
    y, x = np.mgrid[0:height, 0:width] / np.array([height, width])[:, None, None]
    rgb = np.stack([0.3 + 0.5 * x, 0.6 - 0.4 * y, 0.2 + 0.2 * x * y], axis=-1)
    rgb += rng.normal(0, 0.02, rgb.shape)
    return to_samples(rgb, dtype, channels, rng)


def matte(height, width, dtype, channels=None, seed=3):
    """A soft matte: a ramp with a hard square; as a 2-D array, or with channels (each
    channel a different picture, so that the channel letter matters)."""
    rng = np.random.default_rng(seed)
    y, x = np.mgrid[0:height, 0:width] / np.array([height, width])[:, None, None]
    planes = [np.clip(1.5 * x - 0.2, 0, 1), np.clip(1.2 - 1.5 * y, 0, 1),
              ((x > 0.3) & (x < 0.6) & (y > 0.3) & (y < 0.7)).astype(float),
              np.clip(x * y * 2, 0, 1)]
    if channels is None:
        return to_samples(planes[0][..., None], dtype, 1, rng)[..., 0]
    return to_samples(np.stack(planes[:channels], axis=-1), dtype, channels, rng)


def to_samples(values, dtype, channels, rng):
    if np.issubdtype(dtype, np.floating):
        # Values as they are, the grain's few below 0 included; a random alpha of 0..1.
        samples = values.astype(dtype)
        if channels == 4 and samples.shape[-1] == 3:
            alpha = rng.random(samples.shape[:2]).astype(dtype)
            samples = np.concatenate([samples, alpha[..., None]], axis=-1)
        return np.ascontiguousarray(samples)
    top = np.iinfo(dtype).max
    samples = np.clip(np.rint(values * top), 0, top).astype(dtype)
    if channels == 4 and samples.shape[-1] == 3:
        alpha = rng.integers(0, top + 1, samples.shape[:2], dtype=np.int64).astype(dtype)
        samples = np.concatenate([samples, alpha[..., None]], axis=-1)
    return np.ascontiguousarray(samples)

