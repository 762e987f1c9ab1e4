"""zephra.key against pxhost: the same pictures (written as files) and the same parameters
give the same samples, in every view, at both depths and with every matte combination."""

import os
import subprocess

import numpy as np
import OpenImageIO as oiio
import pytest

import zephra
from conftest import blue_screen, matte, plate

H, W = 41, 67
U8, U16, F32 = np.uint8, np.uint16, np.float32

# name: (pictures, parameters). Pictures: fg, bg, holdout, garbage as (kind, dtype,
# channels) or None.
CASES = {
    # No parameters at all: the script's declared defaults against the package's.
    "defaults": ((("fg", U16, 3), ("bg", U8, 3), ("matte", U8, None), None), {}),
    "composite-8": (
        (("fg", U8, 3), ("bg", U8, 3), None, None),
        dict(rScreen=0.05, gScreen=0.11, bScreen=0.4, cspace="video")),
    "composite-16-rgba": (
        (("fg", U16, 4), ("bg", U16, 4), None, None),
        dict(rScreen=0.05, gScreen=0.11, bScreen=0.4, screenRange=0.05, saturation=1.2)),
    "composite-without-bg": (
        (("fg", U8, 3), None, None, None), dict(rScreen=0.05, gScreen=0.11, bScreen=0.4)),
    "mixed-depths": (
        (("fg", U8, 3), ("bg", U16, 3), ("matte", U8, None), None),
        dict(rScreen=0.05, gScreen=0.11, bScreen=0.4, rSpillReplace=0.7, cspace="log")),
    "compOnBlack-garbage": (
        (("fg", U16, 3), None, None, ("matte", U16, None)),
        dict(output="compOnBlack", rScreen=0.05, gScreen=0.11, bScreen=0.4)),
    "compOnReplace-mattes-letters": (
        (("fg", U8, 4), ("bg", U8, 3), ("matte", U8, 4), ("matte", U8, 3)),
        dict(output="compOnReplace", rScreen=0.05, gScreen=0.11, bScreen=0.4,
             holdOutChannel="g", garbageChannel="B", gSpillReplace=0.2, shadowBalance=0.3)),
    "unpremultiplied-alpha-missing": (
        (("fg", U16, 3), ("bg", U16, 4), ("matte", U16, 3), None),
        dict(output="unpremultiplied", rScreen=0.05, gScreen=0.11, bScreen=0.4,
             holdOutChannel="A", rExposure=1.3, rGamma=0.8, shadowGain=0.2)),
    "status-mattes-off": (
        (("fg", U8, 3), ("bg", U8, 3), ("matte", U8, None), ("matte", U8, 4)),
        dict(output="status", rScreen=0.05, gScreen=0.11, bScreen=0.4, useHoldOutMatte=0,
             garbageChannel="R", midTonesAt=0.3, highlightBalance=0.8)),
    "unknown-output-name-and-rounding": (
        (("fg", U8, 3), ("bg", U8, 4), None, None),
        dict(rScreen=0.123456, gScreen=0.00004, bScreen=0.87654321, rFgBias=0.41234)),
    # Float pictures are keyed at 16 bits; a headroom divides the colour of every FileIn of
    # fg and bg (integer ones too) and multiplies the result's back.
    "float-with-8-bit-plate": (
        (("fg", F32, 3), ("bg", U8, 3), ("matte", F32, None), None),
        dict(rScreen=0.05, gScreen=0.11, bScreen=0.4, screenRange=0.05)),
    "float-headroom": (
        (("fg", F32, 4), ("bg", U16, 4), None, ("matte", F32, 3)),
        dict(output="unpremultiplied", rScreen=0.05, gScreen=0.11, bScreen=0.4, headroom=6,
             garbageChannel="G")),
}

MAKERS = {"fg": blue_screen, "bg": plate, "matte": matte}
ROLES = ("fg", "bg", "holdout", "garbage")


def pictures(spec, seed, headroom):
    made = []
    for i, entry in enumerate(spec):
        if entry is None:
            made.append(None)
            continue
        kind, dtype, channels = entry
        picture = MAKERS[kind](H, W, dtype, channels, seed=seed + i)
        if dtype == F32 and kind != "matte":
            picture[..., :3] *= headroom  # highlights up to it, and a few beyond
            picture[:2, :2, :3] = 1.5 * headroom
        made.append(picture)
    return made


def write_tiff(path, array):
    if array.ndim == 2:
        array = array[..., None]  # OpenImageIO takes (height, width, channels)
    channels = array.shape[2]
    fmt = {np.uint8: oiio.UINT8, np.uint16: oiio.UINT16, np.float32: oiio.FLOAT}[array.dtype.type]
    spec = oiio.ImageSpec(array.shape[1], array.shape[0], channels, fmt)
    spec.attribute("oiio:UnassociatedAlpha", 1)
    out = oiio.ImageOutput.create(path)
    assert out and out.open(path, spec), oiio.geterror()
    assert out.write_image(array), out.geterror()
    out.close()


def read_tiff(path):
    config = oiio.ImageSpec()
    config.attribute("oiio:UnassociatedAlpha", 1)
    inp = oiio.ImageInput.open(path, config)
    assert inp, oiio.geterror()
    data = inp.read_image(inp.spec().format)
    inp.close()
    return data


def script_value(value):
    if isinstance(value, str):
        return '"%s"' % value
    return repr(value)


def pxhost_call(files, params):
    """Zephra_1v4 with every parameter written out in declaration order (none when no
    parameter is given, so that the script's own defaults apply)."""
    params = dict(params)
    headroom = params.pop("headroom", 1)
    images = [('FileIn("%s", headroom = %r)' % (f, headroom if i < 2 else 1)) if f else "0"
              for i, f in enumerate(files)]
    if not params:
        return "Zephra_1v4(%s)" % ", ".join(images)
    values = zephra.Keyer(**params).params
    return "Zephra_1v4(%s)" % ", ".join(
        images + [script_value(values[name]) for name in zephra.PARAMETERS])


@pytest.fixture(scope="module")
def pxhost_results(tmp_path_factory):
    pxhost = os.environ.get("PXZ_PXHOST")
    assert pxhost and os.access(pxhost, os.X_OK), \
        "PXZ_PXHOST must name the built pxhost program (ctest sets it)"
    folder = tmp_path_factory.mktemp("pxhost")
    lines, made = [], {}
    for n, (name, (spec, params)) in enumerate(CASES.items()):
        inputs = pictures(spec, 10 * n, params.get("headroom", 1))
        files = []
        for role, picture in zip(ROLES, inputs):
            if picture is None:
                files.append(None)
                continue
            path = str(folder / ("%s-%s.tif" % (name, role)))
            write_tiff(path, picture)
            files.append(path)
        out = str(folder / ("%s-out.tif" % name))
        floating = any(p is not None and p.dtype == F32 for p in inputs)
        lines.append('FileOut(%s, "%s", depth = "%s");' % (
            pxhost_call(files, params), out, "float" if floating else ""))
        made[name] = (inputs, out)
    script = folder / "cases.pxs"
    script.write_text("\n".join(lines) + "\n")
    run = subprocess.run([pxhost, "-q", "--threads", "3", str(script)], capture_output=True,
                         text=True, timeout=120)
    assert run.returncode == 0, run.stderr
    return {name: (inputs, read_tiff(out)) for name, (inputs, out) in made.items()}


@pytest.mark.parametrize("name", list(CASES))
def test_key_equals_pxhost(pxhost_results, name):
    inputs, expected = pxhost_results[name]
    params = CASES[name][1]
    result = zephra.key(*inputs, threads=2, **params)
    assert result.dtype == expected.dtype
    assert result.shape == expected.shape == (H, W, 4)
    mismatch = np.argwhere(result != expected)
    assert mismatch.size == 0, "first differing sample at %s: %s vs pxhost %s" % (
        mismatch[0], result[tuple(mismatch[0])], expected[tuple(mismatch[0])])
