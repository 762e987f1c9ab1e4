// The screen-projection tables with their shadow/midtone/highlight balance curves,
// screenLut, the screenRange stretch (matteLut), the reference fallbacks and the hold-out
// and garbage matte tables.

#include <algorithm>
#include <memory>

#include "engine/tables/ZephraInputTables.h"
#include "engine/tables/ZephraTables.h"
#include "engine/tables/ZephraTransfer.h"

namespace zephra {

namespace {

// A uniform cubic B-spline over five knots (sample positions) and seven control values.
struct BalanceCurve {
    int knots[5];
    float control[7];
};

// Projection coefficients by channel: without a reference they scale the screen colour's
// own projection to screenWork[high]; with one, the reference pixel's projection divides
// the foreground's in the renderer. Each coefficient is stored as a float.
void projectionCoefficients(const VRFZephraTable& e, const Derived& d, float (&coef)[3]) {
    const double b1 = e.balance[1];
    const float k =
        e.useRefOn
            ? 1.0f
            : static_cast<float>(static_cast<double>(d.screenWork[d.high]) / d.screenStrength);
    coef[d.high] = k;
    coef[d.middle] = static_cast<float>(-k * b1);
    coef[d.low] = static_cast<float>(-k * (1.0 - b1));
}

// The pattern of the seven control values: both end values twice, halfway values between
// the ends and the centre. The offsets are double intermediates; the values are floats.
void fillControls(float (&control)[7], float q, double shadow, double mid, double highlight) {
    control[0] = static_cast<float>(q + shadow);
    control[1] = static_cast<float>(q + shadow);
    control[2] = static_cast<float>(q + (shadow + mid) / 2.0);
    control[3] = static_cast<float>(q + mid);
    control[4] = static_cast<float>(q + (mid + highlight) / 2.0);
    control[5] = static_cast<float>(q + highlight);
    control[6] = static_cast<float>(q + highlight);
}

BalanceCurve balanceCurve(const VRFZephraTable& e, const Derived& d, const float (&coef)[3], int ch,
                          int n) {
    BalanceCurve curve;
    const float q = static_cast<float>(static_cast<double>(coef[ch]) * d.neutralWeight[ch]);
    const double m = d.mpWork[ch];
    const double nd = n;
    // The knots never decrease and stay within 0..n whatever the midtone point holds. For
    // a number the bounds never bind: mpWork lies in 0 .. 1 (a parameter in 0 .. 1 through
    // toWork, times a weight in 0 .. 1), so each product already lies between the knot
    // before it and n; only a NaN midtone point needs them.
    curve.knots[0] = 0;
    curve.knots[1] = truncSat(0.5 * nd * m, 0, n);
    curve.knots[2] = truncSat(nd * m, curve.knots[1], n, curve.knots[1]);
    curve.knots[3] = truncSat(nd * (0.5 + 0.5 * m), curve.knots[2], n, curve.knots[2]);
    curve.knots[4] = n;

    const double b0 = e.balance[0], b1 = e.balance[1], b2 = e.balance[2];
    if (ch == d.middle) {
        fillControls(curve.control, q, b0 - b1, 0.0, b2 - b1);
    } else if (ch == d.low) {
        fillControls(curve.control, q, b1 - b0, 0.0, b1 - b2);
    } else {
        fillControls(curve.control, q, e.gain[0], e.gain[1], e.gain[2]);
    }
    return curve;
}

// Evaluates the curve at every integer 0..knots[4]-1 into the float array out. The
// polynomial of one entry is evaluated in double precision; only its value is rounded.
void evaluateCurve(const BalanceCurve& curve, float* out) {
    for (int j = 1; j <= 4; ++j) {
        const int k0 = curve.knots[j - 1];
        const int k1 = curve.knots[j];
        if (k1 == k0) continue;
        const double step = 1.0 / (k1 - k0);
        const double p0 = curve.control[j - 1];
        const double p1 = curve.control[j];
        const double p2 = curve.control[j + 1];
        const double p3 = curve.control[j + 2];
        const double a0 = (p0 + 4.0 * p1 + p2) / 6.0;
        const double a1 = (p2 - p0) / 2.0;
        const double a2 = (p0 - 2.0 * p1 + p2) / 2.0;
        const double a3 = (-p0 + 3.0 * (p1 - p2) + p3) / 6.0;
        for (int i = k0; i < k1; ++i) {
            const double t = (i - k0) * step;
            out[i] = static_cast<float>(a0 + a1 * t + a2 * (t * t) + a3 * (t * t * t));
        }
    }
}

// min(32767, trunc(4096 * curve * toWork(i / max) + 0.5)). Entries below -32768 (a weakly
// saturated screen colour makes the coefficients large) are stored as -32768: the most
// negative contribution the table can express, which keeps such samples far from the
// screen, as their true value would.
std::int16_t projectionEntry(float curveValue, int i, double max, int colourspace) {
    const double v = 4096.0 * curveValue * toWork(i / max, colourspace) + 0.5;
    return static_cast<std::int16_t>(truncSat(v, -32768, 32767));
}

// The three projection tables of one input with maximum `max`, middle, low and high
// channel in turn; `alsoRefLut` fills refLut alongside (the reference input).
void fillProjection(VRFZephraTable& e, const Derived& d, const float (&coef)[3], int max,
                    std::int16_t* const (&tables)[3], bool alsoRefLut, float* scratch) {
    for (int ch : {d.middle, d.low, d.high}) {
        evaluateCurve(balanceCurve(e, d, coef, ch, max + 1), scratch);
        std::int16_t* table = tables[ch];
        for (int i = 0; i <= max; ++i) {
            table[i] = projectionEntry(scratch[i], i, max, e.colourspace);
            if (alsoRefLut) e.refLut[ch][i] = refLutEntry(e, d, ch, i);
        }
        repeatLastEntry(table, max);
        if (alsoRefLut) repeatLastEntry(e.refLut[ch], max);
    }
}

// Index of the screen colour's channel c among the reference samples. The setter keeps the
// screen colour in 0 .. 1, so the bounds bind only for a NaN component.
int refScreenIndex(const VRFZephraTable& e, int c) {
    return truncSat(static_cast<double>(e.refMax) * e.screen[c] + 0.5, 0, e.refMax);
}

}  // namespace

bool buildProjectionTables(VRFZephraTable& e, const Derived& d) {
    if (!e.useRefOn && !e.keyStale) return true;

    const int scratchSize = (e.useRefOn ? std::max(e.fgMax, e.refMax) : e.fgMax) + 1;
    const std::unique_ptr<float[]> scratch(allocTable<float>(e, scratchSize));
    if (!scratch) return false;

    float coef[3];
    projectionCoefficients(e, d, coef);
    if (e.keyStale) {
        fillProjection(e, d, coef, e.fgMax, e.fgScreenLut, false, scratch.get());
        e.keyStale = 0;
    }
    if (!e.useRefOn) return true;

    fillProjection(e, d, coef, e.refMax, e.refScreenLut, true, scratch.get());
    int sum = 0;
    for (int c = 0; c < 3; ++c) {
        const int i = refScreenIndex(e, c);
        e.refFallbackInt[c] = e.refLut[c][i];
        sum += e.refScreenLut[c][i];
    }
    e.refFallbackSum = sum > 0 ? sum : 1;
    return true;
}

void buildScreenLut(VRFZephraTable& e, const Derived& d) {
    // The upper bound 16384 is the table's own. The lower one never binds for a number: a
    // positive screenStrength needs screenWork[high] above another screenWork, which is at
    // least 0, so the inverse is positive. Only a NaN strength, which passes the check,
    // reaches it.
    const double inverse = 1.0 / d.screenWork[d.high];
    for (int i = 0; i < 4096; ++i) {
        e.screenLut[i] = static_cast<std::int16_t>(truncSat(i * inverse + 0.5, 0, 4 * kQ12One));
    }
}

void buildMatteLut(VRFZephraTable& e, const Derived& d) {
    // The corner of the box of half-width 0.577 * screenRange around the screen colour
    // that lies furthest from the screen, in foreground samples (double precision).
    const double reach = 0.577 * static_cast<double>(e.screenRange);
    int projection = 0;
    for (int c = 0; c < 3; ++c) {
        const double corner = c == d.high ? e.screen[c] - reach : e.screen[c] + reach;
        const double clamped = corner < 0.0 ? 0.0 : (corner > 1.0 ? 1.0 : corner);
        // clamped is within 0 .. 1 (a NaN stays one): the bounds bind only for a NaN.
        const int p = truncSat(static_cast<double>(e.fgMax) * clamped + 0.5, 0, e.fgMax);
        projection += e.fgScreenLut[c][p];
    }

    // Screen amount of the corner.
    int amount;
    if (!e.useRefOn) {
        amount = e.screenLut[std::clamp(projection, 0, 4095)];
    } else if (projection <= 0) {
        amount = 0;
    } else {
        // refFallbackSum is the reference projection of the screen colour, or 1 where that
        // is 0 or less.
        amount = std::min(kQ12One, projection * kQ12One / e.refFallbackSum);
    }

    const double t = clampTo(amount <= 4095 ? (kQ12One - amount) / 4096.0 : 0.0, 0.0, 0.5);
    const double s = 1.0 / (1.0 - 2.0 * t);  // infinite at t = 0.5: a hard step
    for (int i = 0; i <= kQ12One; ++i) {
        const double x = i / 4096.0;
        // x == t is 0 even when s is infinite (the step's own entry stays 0).
        // y is within 0 .. 1 by its definition, so the bounds never bind.
        const double y = x <= t ? 0.0 : std::min((x - t) * s, 1.0);
        e.matteLut[i] = static_cast<std::int16_t>(truncSat(4096.0 * y + 0.5, 0, kQ12One));
    }
}

void buildHoldLut(VRFZephraTable& e) {
    const int max = e.hMatteMax;
    for (int i = 0; i <= max; ++i) {
        e.holdLut[i] = static_cast<std::int16_t>((i * kQ12One + max / 2) / max);
    }
    repeatLastEntry(e.holdLut, max);
}

void buildGarbageLut(VRFZephraTable& e) {
    const int max = e.gMatteMax;
    for (int i = 0; i <= max; ++i) {
        e.garbageLut[i] = static_cast<std::int16_t>(kQ12One - (i * kQ12One + max / 2) / max);
    }
    repeatLastEntry(e.garbageLut, max);
}

}  // namespace zephra
