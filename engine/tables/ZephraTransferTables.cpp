// The tables that only convert between sample values, the working space and internal
// units: fgLut, refLut, outLut and the colours in internal units. Every intermediate is a
// double (see ZephraTransfer.h).

#include "engine/tables/ZephraInputTables.h"
#include "engine/tables/ZephraTables.h"
#include "engine/tables/ZephraTransfer.h"

namespace zephra {

namespace {

// 16383 * weight: the scale of a weighted working value in internal units.
double internalScale(float weight) { return static_cast<double>(kInternalMax) * weight; }

// trunc(scale * x + 0.5) within the internal range. Every caller passes the working value
// x of a parameter or sample quotient in 0 .. 1, which toWork keeps in 0 .. 1 (each branch
// divides by 4.5, raises a base within 0 .. 1 to a positive power, or raises 10 to a power
// of at most 0), and scale = 16383 * weight with a neutral weight in 0 .. 1 (the smallest
// working neutral component divided by a larger or equal one). The argument is therefore
// within 0.5 .. 16383.5 and the bounds never bind; they only give a value that is not a
// number (from a NaN parameter, which the setters store) an entry the renderer can index.
std::int16_t internalEntry(double scale, double x) {
    return static_cast<std::int16_t>(truncSat(scale * x + 0.5, 0, kInternalMax));
}

}  // namespace

void buildFgLut(VRFZephraTable& e, const Derived& d) {
    // One transfer per sample value, shared by the three channels.
    double scale[3];
    for (int c = 0; c < 3; ++c) scale[c] = internalScale(d.neutralWeight[c]);
    const double max = e.fgMax;
    for (int i = 0; i <= e.fgMax; ++i) {
        const double x = toWork(i / max, e.colourspace);
        for (int c = 0; c < 3; ++c) e.fgLut[c][i] = internalEntry(scale[c], x);
    }
    for (int c = 0; c < 3; ++c) repeatLastEntry(e.fgLut[c], e.fgMax);
}

std::int16_t refLutEntry(const VRFZephraTable& e, const Derived& d, int c, int i) {
    return internalEntry(internalScale(d.neutralWeight[c]),
                         toWork(i / static_cast<double>(e.refMax), e.colourspace));
}

void buildOutLut(VRFZephraTable& e, const Derived& d, int c) {
    const double denominator = internalScale(d.neutralWeight[c]);
    const double dstMax = e.dstMax;
    std::uint16_t* table = e.outLut[c];
    for (int i = 0; i <= kInternalMax; ++i) {
        const double y = fromWork(i / denominator, e.colourspace);
        table[i] = static_cast<std::uint16_t>(truncSat(dstMax * y + 0.5, 0, e.dstMax));
    }
}

void buildColourInts(VRFZephraTable& e, const Derived& d, int c) {
    // replaceWork and screenWork are working values of parameters in 0 .. 1 times a weight
    // in 0 .. 1 (see internalEntry): the bounds never bind for a number.
    const double one = kInternalMax;
    e.replaceInt[c] = truncSat(one * d.replaceWork[c] + 0.5, 0, kInternalMax);
    e.screenInt[c] = truncSat(one * d.screenWork[c] + 0.5, 0, kInternalMax);
    e.backgroundInt[c] =
        internalEntry(internalScale(d.neutralWeight[c]), toWork(e.background[c], e.colourspace));
}

}  // namespace zephra
