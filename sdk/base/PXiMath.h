#pragma once

// Rounding and sample conversion helpers.
//
// PXiRound(value, digits): value rounded to `digits` decimal places (negative digits round to
// tens, hundreds...), halves away from zero, computed in double precision and returned as the
// nearest float: PXiRound(0.123456f, 4) == 0.1235f, PXiRound(-0.00005f, 4) == -0.0001f
// (the float nearest 0.00005 lies just above it). digits is limited to -38..38. Infinities are
// returned unchanged; NaN gives 0, so a parameter that is not a number acts as zero rather than
// spreading through every computation after it. Values too large to have a fractional part are
// returned unchanged.
//
// PXiF2B(value): an already scaled sample value (0..255) as an 8-bit sample: rounded to
// nearest (halves up, i.e. trunc(value + 0.5)), clamped to 0..255; NaN gives 0.
// PXiF2S(value): the same for 16-bit samples (0..65535).

float PXiRound(float value, int digits);
unsigned char PXiF2B(float value);
unsigned short PXiF2S(float value);
