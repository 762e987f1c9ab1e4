#include <cstdio>

#include "engine/VRFZephraTable.h"
#include "engine/tables/ZephraColourPairs.h"
#include "engine/tables/ZephraInputTables.h"
#include "engine/tables/ZephraTables.h"
#include "engine/tables/ZephraTransfer.h"

namespace {

using zephra::Derived;

// The largest sample maximum a table can be built for: samples are at most 16 bits wide.
constexpr int kLargestMax = 65535;

bool usableMax(int max) { return max >= 1 && max <= kLargestMax; }

// Every maximum that sizes or scales a table the current switches need must lie within
// 1..65535. Below 1 the tables would have no entries and their builders would divide by
// zero; above 65535 no sample can reach the extra entries, outLut could not hold the
// output range and the integer arithmetic of the matte tables would overflow. makeLuts
// reports such a maximum as result 3 (no table can be made for it) before allocating
// anything; every table stays as it was and staleAll stays set, so render keeps refusing.
bool maximaUsable(const VRFZephraTable& e) {
    return usableMax(e.fgMax) && usableMax(e.bgMax) && usableMax(e.dstMax) &&
           (!e.useRefOn || usableMax(e.refMax)) && (!e.useGarbageOn || usableMax(e.gMatteMax)) &&
           (!e.useHoldOn || usableMax(e.hMatteMax));
}

// An input table has an entry for every sample its input can hold, not only up to the
// maximum (see ZephraInputTables.h).
template <typename Entry>
void allocateIfMissing(const VRFZephraTable& e, Entry*& table, int max) {
    if (table == nullptr) table = zephra::allocTable<Entry>(e, zephra::inputTableEntries(max));
}

// Allocates the missing heap tables that the current switches need; a table already
// allocated stays as it is. false when any needed table is still missing afterwards.
bool allocateTables(VRFZephraTable& e) {
    for (int c = 0; c < 3; ++c) {
        allocateIfMissing(e, e.fgLut[c], e.fgMax);
        allocateIfMissing(e, e.bgLut[c], e.bgMax);
        allocateIfMissing(e, e.fgScreenLut[c], e.fgMax);
        allocateIfMissing(e, e.fgColourPairs[c], e.fgMax);
        if (e.useRefOn) {
            allocateIfMissing(e, e.refLut[c], e.refMax);
            allocateIfMissing(e, e.refScreenLut[c], e.refMax);
        }
    }
    if (e.useGarbageOn) allocateIfMissing(e, e.garbageLut, e.gMatteMax);
    if (e.useHoldOn) allocateIfMissing(e, e.holdLut, e.hMatteMax);

    for (int c = 0; c < 3; ++c) {
        if (e.fgLut[c] == nullptr || e.bgLut[c] == nullptr || e.fgScreenLut[c] == nullptr ||
            e.fgColourPairs[c] == nullptr) {
            return false;
        }
        if (e.useRefOn && (e.refLut[c] == nullptr || e.refScreenLut[c] == nullptr)) return false;
    }
    if (e.useGarbageOn && e.garbageLut == nullptr) return false;
    if (e.useHoldOn && e.holdLut == nullptr) return false;
    return true;
}

// Index of the largest (or, with `largest` false, smallest) value; the first index wins
// ties.
int extremeIndex(const float (&v)[3], bool largest) {
    int best = 0;
    for (int c = 1; c < 3; ++c) {
        if (largest ? v[c] > v[best] : v[c] < v[best]) best = c;
    }
    return best;
}

// Each quantity is evaluated in double precision and stored as a float.
void deriveWeightsAndColours(const VRFZephraTable& e, float nMin, Derived& d) {
    using zephra::toWork;
    for (int c = 0; c < 3; ++c) {
        d.neutralWeight[c] = static_cast<float>(static_cast<double>(nMin) / d.n[c]);
        const double weight = d.neutralWeight[c];
        d.screenWork[c] = static_cast<float>(toWork(e.screen[c], e.colourspace) * weight);
        d.replaceWork[c] = static_cast<float>(toWork(e.replace[c], e.colourspace) * weight);
        d.mpWork[c] = static_cast<float>(toWork(e.mp[c], e.colourspace) * weight);
    }
}

void deriveChannelRoles(const VRFZephraTable& e, Derived& d) {
    d.high = extremeIndex(d.screenWork, true);
    d.low = extremeIndex(d.screenWork, false);
    // All three equal (or not comparable, with a parameter that is not a number): no
    // channel stands out, and the roles fall back to red, blue, green as high, low, middle.
    if (d.high == d.low) {
        d.high = 0;
        d.low = 1;
    }
    d.middle = 3 - d.high - d.low;
    const double high = d.screenWork[d.high];
    const double b1 = e.balance[1];
    d.screenStrength = static_cast<float>((high - d.screenWork[d.low]) * (1.0 - b1) +
                                          (high - d.screenWork[d.middle]) * b1);
}

}  // namespace

int VRFZephraTable::makeLuts() {
    using namespace zephra;
    if (staleAll == 0) return 0;

    Derived d{};
    for (int c = 0; c < 3; ++c) d.n[c] = static_cast<float>(toWork(neutral[c], colourspace));
    if (d.n[0] == 0.0f && d.n[1] == 0.0f && d.n[2] == 0.0f) {
        d.n[0] = d.n[1] = d.n[2] = 0.5f;
    }
    const float nMin = d.n[extremeIndex(d.n, false)];
    if (nMin == 0.0f) return 1;

    if (screen[0] == 0.0f && screen[1] == 0.0f && screen[2] == 0.0f) {
        std::fputs("Zephra: Screen colour is zero\n", stderr);
        return 2;
    }

    deriveWeightsAndColours(*this, nMin, d);
    deriveChannelRoles(*this, d);
    // A strength that is not a number passes; its tables hold defined, in-range values.
    if (d.screenStrength <= 0.0f) {
        std::fputs("Zephra: illegal screen colour\n", stderr);
        return 2;
    }

    if (!maximaUsable(*this)) return 3;
    if (!allocateTables(*this)) {
        nukeTables();
        return 3;
    }

    // The colour pairs copy fgLut and fgScreenLut: rebuilt below when either is.
    const bool colourPairsStale = keyStale || fgLutStale;

    // Projection tables (fgScreenLut when keyStale; with a reference, the reference tables on
    // every run), then screenLut without a reference.
    if (!buildProjectionTables(*this, d)) return 3;
    if (!useRefOn && screenLutStale) {
        buildScreenLut(*this, d);
        screenLutStale = 0;
    }

    if (useGarbageOn && garbageLutStale) {
        buildGarbageLut(*this);
        garbageLutStale = 0;
    }
    if (useHoldOn && holdLutStale) {
        buildHoldLut(*this);
        holdLutStale = 0;
    }

    // Each table's entries depend only on the parameters, so building fgLut and bgLut for
    // all channels at once (sharing the transfer of each sample value) gives the same
    // tables as going channel by channel.
    for (int c = 0; c < 3; ++c) buildColourInts(*this, d, c);
    if (fgLutStale) buildFgLut(*this, d);
    if (bgLutStale) buildBgLut(*this, d);
    for (int c = 0; c < 3; ++c) {
        if (fgCorrectStale) buildFgCorrectLut(*this, d, c);
        if (outLutStale) buildOutLut(*this, d, c);
    }
    if (colourPairsStale) buildColourPairs(*this);
    bgLutStale = 0;
    outLutStale = 0;
    fgCorrectStale = 0;
    fgLutStale = 0;

    buildSatMatrix(*this, d);
    buildMatteLut(*this, d);

    staleAll = 0;
    return 0;
}
