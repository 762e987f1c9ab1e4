"""zephra.Engine: the procedural interface one to one, on every tile layout the engine
takes, checked against the keyword keyer and against itself across layouts."""

import numpy as np
import pytest

import zephra
from conftest import blue_screen, matte, plate

H, W = 29, 31


def prepared(view, bytes_=2):
    """An engine given what the node gives a new engine: its parameters' defaults."""
    e = zephra.Engine()
    e.use_ref(0)
    e.set_colourspace(0)
    e.set_screen(0.05, 0.11, 0.4)
    e.set_screen_range(0.0)
    e.set_neutral(0.5, 0.5, 0.5)
    for which in range(3):
        e.set_balance(which, 0.5)
        e.set_gain(which, 0.0)
    e.set_mp(0.5, 0.5, 0.5)
    e.set_replace(0.5, 0.5, 0.5)
    e.set_exposure(1.0, 1.0, 1.0)
    e.set_gamma(1.0, 1.0, 1.0)
    e.set_saturation(1.0)
    e.set_view(view)
    top = 255 if bytes_ == 1 else 65535
    for setter in (e.set_fg_max, e.set_bg_max, e.set_dst_max, e.set_h_matte_max,
                   e.set_g_matte_max):
        setter(top)
    e.make_luts()
    return e


def test_engine_keys_as_the_keyword_keyer_does():
    fg = blue_screen(H, W, np.uint16, 4)
    hold = matte(H, W, np.uint16)
    e = prepared(4)
    e.use_hold(1)
    e.make_luts()
    dst = np.zeros((H, W, 4), np.uint16)
    e.render(dst, fg, hold=hold)
    expected = zephra.key(fg, holdout=hold, output="unpremultiplied", rScreen=0.05,
                          gScreen=0.11, bScreen=0.4)
    assert np.array_equal(dst, expected)


def test_every_layout_renders_the_same_samples():
    fg = blue_screen(H, W, np.uint8, 4)
    bg = plate(H, W, np.uint8, 4)
    e = prepared(0, 1)
    reference = np.zeros((H, W, 4), np.uint8)
    e.render(reference, fg, bg)

    def planes(a):
        return [np.ascontiguousarray(a[..., c]) for c in range(4)]

    # BGRA and ARGB interleaved, planar, and 6 samples per pixel with two unused.
    bgra = np.zeros((H, W, 4), np.uint8)
    e.render(zephra.Image(bgra, "BGRA"), zephra.Image(fg[..., [2, 1, 0, 3]].copy(), "BGRA"),
             zephra.Image(bg[..., [3, 0, 1, 2]].copy(), "ARGB"))
    assert np.array_equal(bgra[..., [2, 1, 0, 3]], reference)

    out = [np.zeros((H, W), np.uint8) for _ in range(4)]
    e.render(zephra.Image.planar(*out), zephra.Image.planar(*planes(fg)),
             zephra.Image.planar(*planes(bg)))
    assert np.array_equal(np.stack(out, axis=-1), reference)

    wide = np.zeros((H, W, 6), np.uint8)
    fg6 = np.zeros((H, W, 6), np.uint8)
    fg6[..., 1:5] = fg
    e.render(zephra.Image(wide, "-RGBA-"), zephra.Image(fg6, "-RGBA-"), bg)
    assert np.array_equal(wide[..., 1:5], reference)


def test_results_and_changes_come_back_as_the_engine_gives_them():
    e = zephra.Engine()
    calls = []
    e.install_callback(lambda: calls.append(1))
    e.set_screen(0.0, 0.0, 0.0)
    changes = len(calls)
    e.set_screen(0.0, 0.0, 0.0)  # the same again: no change
    assert changes >= 1 and len(calls) == changes
    with pytest.raises(zephra.TablesError) as raised:
        e.make_luts()
    assert raised.value.code == 2 and isinstance(raised.value, zephra.Error)
    # While the tables are stale, render writes nothing and returns.
    dst = np.full((4, 4, 4), 9, np.uint8)
    e.render(dst, np.zeros((4, 4, 3), np.uint8))
    assert (dst == 9).all()

    e.set_screen(0.05, 0.11, 0.4)
    e.set_view(0)
    e.make_luts()
    assert e.get_view() == 0
    with pytest.raises(zephra.RenderRefused) as refused:
        e.render(dst, np.zeros((4, 4, 3), np.uint8))  # a composite without a background
    assert refused.value.code == 1


@pytest.mark.parametrize("call, error, words", [
    (lambda e, a: e.render(a[:, :, :3].copy(), a), zephra.RenderRefused, "refused"),
    (lambda e, a: e.render(a, a[:-1]), ValueError, "size of dst"),
    (lambda e, a: e.render(a, a.astype(np.uint16)), TypeError, "sample type"),
    (lambda e, a: e.render(zephra.Image(a, "RGBX")), ValueError, "channel letters"),
    (lambda e, a: e.render(zephra.Image(a, "RGBR")), ValueError, "named twice"),
    (lambda e, a: e.render(zephra.Image(a, "RGB")), ValueError, "names 3 channels"),
    (lambda e, a: zephra.Image.planar(a[..., 0], a[..., 1].copy()), ValueError, "share"),
    (lambda e, a: e.render(np.broadcast_to(a, a.shape)), ValueError, "read-only"),
    (lambda e, a: e.render(a.astype(np.float32)), TypeError, "uint8 or uint16"),
    (lambda e, a: e.render(a[::-1]), ValueError, "strides"),
    (lambda e, a: e.render("dst"), TypeError, "zephra.Image"),
    (lambda e, a: zephra.Image.planar(a[..., 0].tolist()), TypeError, "numpy arrays"),
])
def test_bad_tiles_get_a_clear_error(call, error, words):
    e = prepared(4, 1)
    a = blue_screen(H, W, np.uint8, 4)
    with pytest.raises(error) as raised:
        call(e, a)
    if words:
        assert words in str(raised.value)
