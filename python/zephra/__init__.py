"""Blue- and green-screen keying of numpy arrays with the Zephra keyer.

    import zephra
    comp = zephra.key(fg, bg, rScreen=0.05, gScreen=0.11, bScreen=0.40, cspace="video")

Pictures are numpy arrays of shape (height, width, 3 or 4) holding uint8 or uint16 samples
(mattes may be 2-D). Parameters have the names and defaults of the script command
Zephra_1v4's named arguments; see help(zephra.key) for the list. The result is an RGBA
array, sample for sample the picture pxhost writes for the same files and parameters.

zephra.Keyer keeps one engine for a sequence of pictures; zephra.Engine is the engine's
procedural interface one to one.
"""

import difflib
import math
import numbers
import threading

from . import _zephra
from ._zephra import Engine, Error, Image, RenderRefused, TablesError

__all__ = [
    "key",
    "Keyer",
    "Engine",
    "Image",
    "Error",
    "TablesError",
    "RenderRefused",
    "PARAMETERS",
    "defaults",
]

for _type in (Error, TablesError, RenderRefused, Engine, Image):
    _type.__module__ = __name__

_ARGUMENTS = [a for a in _zephra.arguments() if a["kind"] != "image"]
_BY_NAME = {a["name"]: a for a in _ARGUMENTS}
_IMAGES = tuple(a["name"] for a in _zephra.arguments() if a["kind"] == "image")

#: The parameter names, in the order Zephra_1v4 declares them.
PARAMETERS = tuple(a["name"] for a in _ARGUMENTS)

# Screen colours run 0 to 1; larger values are most likely 8-bit or 16-bit code values.
_SCREEN = ("rScreen", "gScreen", "bScreen")
_CODE_MAXIMA = (255, 65535)


def _closest(word, candidates):
    matches = difflib.get_close_matches(word, candidates, n=3, cutoff=0.6)
    if not matches:
        lowered = {c.lower(): c for c in candidates}
        matches = [lowered[m] for m in difflib.get_close_matches(word.lower(), list(lowered))]
    return matches


def _unknown_parameter(name):
    close = _closest(name, PARAMETERS + _IMAGES + ("threads", "out", "headroom"))
    hint = ("; did you mean " + " or ".join(repr(c) for c in close) + "?") if close else (
        "; the parameters are " + ", ".join(PARAMETERS))
    return TypeError("unknown parameter %r%s" % (name, hint))


def _range_text(arg):
    low, high = arg["minimum"], arg["maximum"]
    return "%g to %s" % (low, "any larger value" if math.isinf(high) else "%g" % high)


def _checked(name, value):
    """The value as the keyer takes it, or an error that says what is wrong."""
    arg = _BY_NAME[name]
    kind = arg["kind"]
    if kind == "float":
        if isinstance(value, bool) or not isinstance(value, numbers.Real):
            raise TypeError("%s must be a number, not %s" % (name, type(value).__name__))
        number = float(value)
        if not math.isfinite(number):
            raise ValueError("%s must be a finite number, not %r" % (name, value))
        if not arg["minimum"] <= number <= arg["maximum"]:
            message = "%s=%r is outside %s" % (name, value, _range_text(arg))
            if name in _SCREEN and number > 1:
                scale = next((m for m in _CODE_MAXIMA if number <= m), None)
                if scale:
                    message += "; as a %d-bit code value it is %.4g" % (
                        8 if scale == 255 else 16, number / scale)
            raise ValueError(message)
        return number
    if kind == "int":
        if not isinstance(value, numbers.Integral):
            raise TypeError("%s must be an int, not %s" % (name, type(value).__name__))
        number = int(value)
        if not -2**31 <= number < 2**31:
            raise ValueError("%s=%d does not fit a 32-bit int" % (name, number))
        return number
    if not isinstance(value, str):
        raise TypeError("%s must be a str, not %s" % (name, type(value).__name__))
    if not _zephra.accepts_text(name, value):
        choices = arg["choices"]
        close = _closest(value, choices)
        hint = (" (did you mean %s?)" % " or ".join(repr(c) for c in close)) if close else ""
        raise ValueError("%s=%r is not one of %s%s" % (
            name, value, ", ".join(repr(c) for c in choices), hint))
    return value


def _check_all(params):
    """Every given parameter checked before any is used: a bad one changes nothing."""
    checked = {}
    for name, value in params.items():
        if name not in _BY_NAME:
            if name in _IMAGES:
                raise TypeError("%s is a picture: pass it to the call, not as a parameter" % name)
            raise _unknown_parameter(name)
        checked[name] = _checked(name, value)
    return checked


def _resolved(given):
    """Every parameter's value: the given one, else the one it follows, else its default."""
    values = {}
    for arg in _ARGUMENTS:
        name = arg["name"]
        if name in given:
            values[name] = given[name]
        elif arg["follows"]:
            values[name] = values[arg["follows"]]
        elif arg["kind"] == "int":
            values[name] = int(arg["default_value"])
        else:
            values[name] = arg["default_value"]
    return values


def defaults():
    """Every parameter's default, by name, as a call that gives none of them keys."""
    return _resolved({})


class Keyer:
    """A keyer for a sequence of pictures: one engine, parameters kept between calls.

        k = zephra.Keyer(rScreen=0.05, gScreen=0.11, bScreen=0.40, output="status")
        for fg, bg in frames:
            result = k(fg, bg)

    Parameters are those of zephra.key. The engine rebuilds only the tables whose
    parameters changed since the last picture; with unchanged parameters and sample type a
    picture rebuilds none (`changes` counts what the engine saw change). A parameter left
    out follows the one its default names (midtoneBalance follows shadowBalance, gExposure
    follows rExposure ...) until it is given itself.
    """

    def __init__(self, **params):
        self._given = {}
        self._core = _zephra.KeyerCore()
        self._setting = threading.Lock()
        self.set(**params)

    def set(self, **params):
        """Changes the given parameters; the others keep their values."""
        checked = _check_all(params)
        with self._setting:
            self._given.update(checked)
            values = self.params
            self._core.set({arg["plug"]: values[arg["name"]] for arg in _ARGUMENTS})

    @property
    def params(self):
        """Every parameter's current value, by name."""
        return _resolved(self._given)

    @property
    def changes(self):
        """Parameter changes the engine has reported so far (each one may rebuild tables)."""
        return self._core.changes

    def __call__(self, fg, bg=None, holdout=None, garbage=None, *, threads=None, out=None,
                 headroom=1):
        """Keys one picture; see zephra.key for the images, threads, out and headroom."""
        return self._core.key(fg, bg, holdout, garbage, threads, out, headroom)

    def __repr__(self):
        changed = ", ".join("%s=%r" % item for item in self._given.items())
        return "zephra.Keyer(%s)" % changed


def key(fg, bg=None, holdout=None, garbage=None, output="composite", threads=None, out=None,
        headroom=1, **params):
    return Keyer(output=output, **params)(fg, bg, holdout, garbage, threads=threads, out=out,
                                          headroom=headroom)


def _parameter_lines():
    lines = []
    group = None
    for arg in _ARGUMENTS:
        if arg["group"] != group:
            group = arg["group"]
            lines.append("")
            lines.append("  %s:" % group)
        if arg["follows"]:
            default = "follows %s" % arg["follows"]
        elif arg["kind"] == "str":
            default = "%r" % arg["default"]
        else:
            default = arg["default"]
        detail = "%s; default %s" % (arg["help"], default)
        if arg["kind"] == "float":
            detail += "; %s" % _range_text(arg)
        if arg["choices"]:
            detail += "; one of %s" % ", ".join(arg["choices"])
        lines.append("    %s (%s): %s" % (arg["name"], arg["kind"], detail))
    return "\n".join(lines)


key.__doc__ = """Keys a foreground shot against its screen colour and returns the result.

    comp = zephra.key(fg, bg, rScreen=0.05, gScreen=0.11, bScreen=0.40)

Images: numpy arrays of one size, uint8, uint16 or float samples; shape (height, width, 3)
for R, G, B or (height, width, 4) for R, G, B, A; a 2-D array (or one channel) is grey and
stands for every channel; two channels are grey and alpha. A channel a picture lacks reads
as 0. Pictures of 8-bit samples keyed with 16-bit ones are widened (v * 257) and the result
is 16-bit. Float pictures (0 to 1) are keyed at 16 bits, values outside 0..1 clipped, and
the result is float32. Any strides are taken; arrays the engine cannot address directly are
copied.

  fg: the foreground shot.
  bg: the background plate, or None (a composite is then made over black).
  holdout: hold-out matte or None; holdOutChannel picks its channel ("R", "G", "B", "A").
  garbage: garbage matte or None; garbageChannel picks its channel.
  threads: how many threads key bands of the picture at once; None for one per processor.
      Every count gives the same samples.
  out: None for a new array, or an array of shape (height, width, 4) and the result's
      sample type to write into (it may be fg itself when fg is such an array).
  headroom: a number above 0 that R, G and B of fg and bg are divided by before the keying
      and multiplied by after, so that values up to it survive (a linear plate's
      highlights); the result is then float32. 1 (the default): values as they are.

Returns an array of shape (height, width, 4): R, G, B and the keyer's alpha. The keyer
releases the interpreter lock while it works.

Raises TypeError for a wrong type or an unknown parameter name (with the closest names),
ValueError for a wrong shape, a size mismatch, or a value outside its range or not among
its choices, and zephra.TablesError when the engine cannot build its tables from the
parameters (a screen colour that is zero or has no dominant channel).

Parameters (bgColor and clipMode shape pxhost's output outside or around the pictures; with
arrays of one size they change nothing):
""" + _parameter_lines()
