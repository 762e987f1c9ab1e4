"""zephra.key and zephra.Keyer: threads, strides, output arrays, float pictures and
headroom, table rebuilding, and the errors that bad input gets."""

import threading

import numpy as np
import pytest

import zephra
from conftest import blue_screen, matte, plate

H, W = 37, 53
SCREEN = dict(rScreen=0.05, gScreen=0.11, bScreen=0.4)


@pytest.fixture
def pictures():
    return (blue_screen(H, W, np.uint16, 4), plate(H, W, np.uint16, 3),
            matte(H, W, np.uint16, 4), matte(H, W, np.uint16))


@pytest.mark.parametrize("output", ["composite", "status", "unpremultiplied"])
def test_every_thread_count_keys_the_same_samples(pictures, output):
    one = zephra.key(*pictures, output=output, threads=1, holdOutChannel="R", **SCREEN)
    for threads in (2, 3, 8, H, 1000):
        assert np.array_equal(
            zephra.key(*pictures, output=output, threads=threads, holdOutChannel="R", **SCREEN),
            one), threads


def test_strided_and_reordered_arrays_key_like_contiguous_ones(pictures):
    fg, bg, hold, garbage = pictures
    expected = zephra.key(fg, bg, hold, garbage, **SCREEN)
    # Views into larger arrays (every other pixel and row), Fortran order, 8 channels with the
    # picture in every other one: all addressed through their strides.
    wide = np.zeros((2 * H, 2 * W, 4), fg.dtype)
    wide[::2, ::2] = fg
    fortran = np.asfortranarray(bg)
    spread = np.zeros((H, W, 8), hold.dtype)
    spread[..., ::2] = hold
    result = zephra.key(wide[::2, ::2], fortran, spread[..., ::2], garbage.T.copy().T, **SCREEN)
    assert np.array_equal(result, expected)
    # Negative strides are copied first.
    flipped = zephra.key(fg[::-1], bg[::-1], hold[::-1], garbage[::-1], **SCREEN)
    assert np.array_equal(flipped, expected[::-1])


def test_out_receives_the_result_and_fg_may_be_keyed_in_place(pictures):
    fg, bg, _, _ = pictures
    expected = zephra.key(fg, bg, **SCREEN)
    out = np.full((H, W, 4), 7, np.uint16)
    assert zephra.key(fg, bg, out=out, **SCREEN) is out
    assert np.array_equal(out, expected)
    inplace = fg.copy()
    zephra.key(inplace, bg, out=inplace, **SCREEN)
    assert np.array_equal(inplace, expected)


def test_a_headroom_keys_brighter_pictures_like_the_plain_ones():
    # A power of two scales floats exactly: the keyer sees the same samples, and only the
    # result's colour is multiplied back. Float64 arrays key as the float32 they hold.
    fg, bg = blue_screen(H, W, np.float32, 4), plate(H, W, np.float32, 3)
    plain = zephra.key(fg, bg, **SCREEN)
    assert plain.dtype == np.float32
    bright_fg, bright_bg = fg.copy(), 4 * bg
    bright_fg[..., :3] *= 4
    bright = zephra.key(bright_fg.astype(np.float64), bright_bg, headroom=4, **SCREEN)
    assert np.array_equal(bright[..., :3], 4 * plain[..., :3])
    assert np.array_equal(bright[..., 3], plain[..., 3])
    # Keyed in place over a float foreground.
    zephra.key(bright_fg, bright_bg, headroom=4, out=bright_fg, **SCREEN)
    assert np.array_equal(bright_fg, bright)


def test_a_keyer_rebuilds_only_when_parameters_change(pictures):
    fg, bg, _, _ = pictures
    k = zephra.Keyer(**SCREEN)
    first = k(fg, bg)
    settled = k.changes
    assert settled > 0
    assert np.array_equal(k(fg, bg), first)
    assert k.changes == settled
    k.set(rScreen=0.05)  # the value it already has
    k(fg, bg)
    assert k.changes == settled
    k.set(saturation=0.5)
    changed = k(fg, bg)
    assert k.changes > settled
    assert np.array_equal(changed, zephra.key(fg, bg, saturation=0.5, **SCREEN))
    # Following defaults follow later changes too, as a script's plugs do.
    k.set(shadowBalance=0.3)
    assert k.params["midtoneBalance"] == k.params["highlightBalance"] == 0.3
    k.set(rExposure=2.0)
    assert (k.params["gExposure"], k.params["bExposure"]) == (2.0, 2.0)


@pytest.mark.parametrize("call, error, words", [
    (lambda fg: zephra.key(fg.astype(np.int16)), TypeError, "uint8, uint16 or float"),
    (lambda fg: zephra.key(fg.astype(np.complex64)), TypeError, "uint8, uint16 or float"),
    (lambda fg: zephra.key(fg, headroom=0), ValueError, "headroom must be a number above 0"),
    (lambda fg: zephra.key(fg, headroom=float("inf")), ValueError, "headroom"),
    (lambda fg: zephra.key(fg, headroom=1e-300), ValueError, "headroom"),
    (lambda fg: zephra.key(fg, headroom="2"), TypeError, "headroom must be a number"),
    (lambda fg: zephra.key(fg, headroom=2, out=np.zeros((H, W, 4), np.uint8)), TypeError,
     "float32"),
    (lambda fg: zephra.key(fg.tolist()), TypeError, "numpy array"),
    (lambda fg: zephra.key(np.zeros((H, W, 5), np.uint8)), ValueError, "1 to 4 channels"),
    (lambda fg: zephra.key(np.zeros(W, np.uint8)), ValueError, "shape"),
    (lambda fg: zephra.key(np.zeros((0, W, 3), np.uint8)), ValueError, "empty"),
    (lambda fg: zephra.key(fg, fg[:-1]), ValueError, "same size"),
    (lambda fg: zephra.key(fg, None, fg[:, :-1, 0]), ValueError, "same size"),
    (lambda fg: zephra.key(fg, rScren=0.1), TypeError, "'rScreen'"),
    (lambda fg: zephra.key(fg, Saturation=1.0), TypeError, "'saturation'"),
    (lambda fg: zephra.key(fg, thread=2), TypeError, "'threads'"),
    (lambda fg: zephra.key(fg, cspace="Video"), ValueError, "'video'"),
    (lambda fg: zephra.key(fg, output="unpremultipled"), ValueError, "'unpremultiplied'"),
    (lambda fg: zephra.key(fg, holdOutChannel="x"), ValueError, "'A', 'R', 'G', 'B'"),
    (lambda fg: zephra.key(fg, rScreen=13), ValueError, "8-bit code value it is 0.05098"),
    (lambda fg: zephra.key(fg, saturation=float("nan")), ValueError, "finite"),
    (lambda fg: zephra.key(fg, rScreen="0.1"), TypeError, "number"),
    (lambda fg: zephra.key(fg, useHoldOutMatte=0.5), TypeError, "int"),
    (lambda fg: zephra.key(fg, threads=0), ValueError, "threads"),
    (lambda fg: zephra.key(fg, out=np.zeros((H, W, 4), np.uint16)), TypeError, "uint8"),
    (lambda fg: zephra.key(fg, out=np.zeros((H, W, 3), np.uint8)), ValueError, "shape"),
    (lambda fg: zephra.key(fg, out=np.zeros((H, W, 4), np.uint8)[::-1]), ValueError, "strides"),
    (lambda fg: zephra.key(fg, out=np.broadcast_to(np.zeros(4, np.uint8), (H, W, 4))),
     ValueError, "read-only"),
    (lambda fg: zephra.key(fg, fg, out=fg), ValueError, "shares memory"),
    (lambda fg: zephra.key(fg, rScreen=0, gScreen=0, bScreen=0), zephra.TablesError, "zero"),
])
def test_bad_input_gets_a_clear_error(call, error, words):
    fg = blue_screen(H, W, np.uint8, 4)
    fg_copy = fg.copy()
    with pytest.raises(error) as raised:
        call(fg)
    assert words in str(raised.value)
    assert np.array_equal(fg, fg_copy), "bad input must not change the pictures"


def test_a_failed_set_changes_nothing():
    k = zephra.Keyer(saturation=0.5)
    with pytest.raises(TypeError):
        k.set(rScreen=0.2, bogus=1)
    assert k.params["rScreen"] == zephra.defaults()["rScreen"]
    assert k.params["saturation"] == 0.5


def test_one_keyer_shared_by_python_threads_keys_every_picture_whole(pictures):
    fg, bg, _, _ = pictures
    k = zephra.Keyer(**SCREEN)
    expected = [zephra.key(fg, bg, saturation=s, **SCREEN) for s in (0.5, 1.5)]
    results = []

    def work(saturation):
        for _ in range(20):
            # The other thread may change the parameters between these two calls, but each
            # picture is keyed whole with one set of them, never while the engine changes.
            k.set(saturation=saturation)
            results.append(k(fg, bg, threads=2))

    threads = [threading.Thread(target=work, args=(s,)) for s in (0.5, 1.5)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert len(results) == 40
    assert all(any(np.array_equal(r, e) for e in expected) for r in results)
