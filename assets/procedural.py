"""Deterministic drawing helpers shared by the scripts that make the project's pictures:
a lattice hash, colour mixing and a midpoint-displacement ridge line."""


def hash2(x, y, seed):
    """A 32-bit integer hash of a lattice point, as a float in [0, 1)."""
    h = (x * 374761393 + y * 668265263 + seed * 2147483647) & 0xFFFFFFFF
    h = ((h ^ (h >> 13)) * 1274126177) & 0xFFFFFFFF
    h ^= h >> 16
    return h / 4294967296.0


def mix(a, b, t):
    """Linear mix of two colours."""
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def smoothstep(e0, e1, x):
    t = min(1.0, max(0.0, (x - e0) / (e1 - e0)))
    return t * t * (3.0 - 2.0 * t)


def ridge(width, base, rough, seed, levels, decay):
    """A hill or mountain outline by midpoint displacement: one height (row, fractional) per
    column. Each halving of the step scales the displacement by `decay`."""
    n = 1 << levels
    points = [0.0] * (n + 1)
    points[0] = base + (hash2(0, 0, seed) - 0.5) * rough
    points[n] = base + (hash2(n, 0, seed) - 0.5) * rough
    step, amount = n, rough
    while step > 1:
        half = step // 2
        for i in range(half, n, step):
            mid = (points[i - half] + points[i + half]) / 2.0
            points[i] = mid + (hash2(i, step, seed) - 0.5) * amount
        step = half
        amount *= decay
    out = []
    for x in range(width):
        t = x * n / (width - 1)
        i = min(int(t), n - 1)
        f = t - i
        out.append(points[i] + (points[i + 1] - points[i]) * f)
    return out
