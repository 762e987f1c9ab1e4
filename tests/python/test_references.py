"""Many calls leave no references and no memory behind, on success and on failure."""

import sys
import tracemalloc

import numpy as np
import pytest

import zephra
from conftest import blue_screen, matte, plate

H, W = 24, 32
CALLS = 100


def test_keying_keeps_no_references_and_no_memory():
    fg, bg, hold = blue_screen(H, W, np.uint8, 3), plate(H, W, np.uint16), matte(H, W, np.uint8)
    out = np.zeros((H, W, 4), np.uint16)
    counts = [sys.getrefcount(a) for a in (fg, bg, hold, out)]
    k = zephra.Keyer(rScreen=0.05, gScreen=0.11, bScreen=0.4)
    for _ in range(10):
        k(fg, bg, hold)
    tracemalloc.start()
    try:
        before = tracemalloc.get_traced_memory()[0]
        for i in range(CALLS):
            k(fg, bg, hold, threads=2)
            k(fg, bg, hold, out=out)
            zephra.key(fg, bg, output="status")
            with pytest.raises(ValueError):
                k(fg, bg[:-1])
            with pytest.raises(TypeError):
                zephra.key(fg, rScren=0.1)
        grown = tracemalloc.get_traced_memory()[0] - before
    finally:
        tracemalloc.stop()
    # One leaked result picture per call would be several megabytes.
    assert grown < 64 * 1024, grown
    assert [sys.getrefcount(a) for a in (fg, bg, hold, out)] == counts


def test_an_engine_releases_its_callback_and_arrays():
    def callback():
        pass

    fg = blue_screen(H, W, np.uint8, 4)
    dst = np.zeros((H, W, 4), np.uint8)
    counts = [sys.getrefcount(x) for x in (callback, fg, dst)]
    for _ in range(CALLS):
        e = zephra.Engine()
        e.install_callback(callback)
        e.use_ref(0)
        e.set_view(4)
        e.make_luts()
        e.render(zephra.Image(dst), zephra.Image(fg, "RGBA"))
        del e
    assert [sys.getrefcount(x) for x in (callback, fg, dst)] == counts
