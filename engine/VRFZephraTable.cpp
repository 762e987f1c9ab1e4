#include "engine/VRFZephraTable.h"

#include <initializer_list>

namespace {

using Flag = int VRFZephraTable::*;

// The tables that follow the working space: everything built from neutralWeight or
// toWork, raised by a change of the neutral colour or of the colour space.
constexpr std::initializer_list<Flag> kWorkingSpaceFlags = {
    &VRFZephraTable::keyStale,   &VRFZephraTable::screenLutStale, &VRFZephraTable::fgLutStale,
    &VRFZephraTable::bgLutStale, &VRFZephraTable::fgCorrectStale, &VRFZephraTable::outLutStale};

// Limits v to [lo, hi]; a value that is not a number passes unchanged (and, comparing
// unequal to everything, always counts as a change).
float clampParam(float v, float lo, float hi) {
    if (v < lo) return lo;
    if (v > hi) return hi;
    return v;
}

// Clamps a correction set index to 0 or 1.
int clampSet(int set) { return set < 0 ? 0 : (set > 1 ? 1 : set); }

// Stores the three values unless all equal the stored ones; true when stored.
bool store3(float (&dst)[3], float r, float g, float b) {
    if (dst[0] == r && dst[1] == g && dst[2] == b) return false;
    dst[0] = r;
    dst[1] = g;
    dst[2] = b;
    return true;
}

template <typename T>
bool store1(T& dst, T v) {
    if (dst == v) return false;
    dst = v;
    return true;
}

// After an effective change: raise the dependent flags and staleAll, then notify.
void markChanged(VRFZephraTable& e, std::initializer_list<Flag> flags) {
    for (Flag f : flags) e.*f = 1;
    e.staleAll = 1;
    if (e.callback != nullptr) e.callback(e.callbackData);
}

// The flag of the table that correction set `set` (already clamped) feeds.
Flag correctionFlag(int set) {
    return set == 0 ? &VRFZephraTable::fgCorrectStale : &VRFZephraTable::bgLutStale;
}

// A change of a sample maximum frees every heap table first (their sizes follow the
// maximum in force when they were allocated); nukeTables raises the flags and notifies.
void storeMax(VRFZephraTable& e, int VRFZephraTable::*field, int max) {
    if (e.*field == max) return;
    e.nukeTables();
    e.*field = max;
}

}  // namespace

VRFZephraTable::VRFZephraTable()
    : staleAll(1),
      keyStale(1),
      screenLutStale(1),
      fgLutStale(1),
      bgLutStale(1),
      fgCorrectStale(1),
      holdLutStale(1),
      garbageLutStale(1),
      outLutStale(1),
      fgMax(255),
      bgMax(255),
      refMax(255),
      dstMax(255),
      gMatteMax(255),
      hMatteMax(255),
      balance{0.5f, 0.5f, 0.5f},
      screen{0.0f, 0.0f, 1.0f},
      mp{0.5f, 0.5f, 0.5f},
      replace{0.0f, 0.0f, 0.0f},
      background{0.0f, 0.0f, 0.0f},
      neutral{0.5f, 0.5f, 0.5f},
      gain{0.0f, 0.0f, 0.0f},
      view(0),
      useHoldOn(1),
      useGarbageOn(1),
      useRefOn(1),
      screenRange(0.0f),
      colourspace(1),
      refFallbackInt{0, 0, 0},
      refFallbackSum(1),
      exposure{{1.0f, 1.0f, 1.0f}, {1.0f, 1.0f, 1.0f}},
      offset{{0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}},
      gamma{{1.0f, 1.0f, 1.0f}, {1.0f, 1.0f, 1.0f}},
      saturation{1.0f, 1.0f},
      satMatrix{},
      fgCorrectLut{},
      fgLut{nullptr, nullptr, nullptr},
      bgLut{nullptr, nullptr, nullptr},
      refLut{nullptr, nullptr, nullptr},
      backgroundInt{0, 0, 0},
      screenInt{0, 0, 0},
      replaceInt{0, 0, 0},
      holdLut(nullptr),
      garbageLut(nullptr),
      fgScreenLut{nullptr, nullptr, nullptr},
      refScreenLut{nullptr, nullptr, nullptr},
      screenLut{},
      outLut{},
      matteLut{},
      callback(nullptr),
      callbackData(nullptr),
      allocGate(nullptr),
      allocGateData(nullptr),
      fgColourPairs{nullptr, nullptr, nullptr} {}

VRFZephraTable::~VRFZephraTable() { nukeTables(); }

void VRFZephraTable::setScreen(float r, float g, float b) {
    if (store3(screen, clampParam(r, 0.0f, 1.0f), clampParam(g, 0.0f, 1.0f),
               clampParam(b, 0.0f, 1.0f))) {
        markChanged(*this, {&VRFZephraTable::keyStale, &VRFZephraTable::screenLutStale});
    }
}

void VRFZephraTable::setScreenRange(float v) {
    if (store1(screenRange, clampParam(v, 0.0f, 1.0f))) markChanged(*this, {});
}

void VRFZephraTable::setReplace(float r, float g, float b) {
    if (store3(replace, clampParam(r, 0.0f, 1.0f), clampParam(g, 0.0f, 1.0f),
               clampParam(b, 0.0f, 1.0f))) {
        markChanged(*this, {});
    }
}

void VRFZephraTable::setBackground(float r, float g, float b) {
    if (store3(background, clampParam(r, 0.0f, 1.0f), clampParam(g, 0.0f, 1.0f),
               clampParam(b, 0.0f, 1.0f))) {
        markChanged(*this, {});
    }
}

void VRFZephraTable::setMp(float r, float g, float b) {
    if (store3(mp, clampParam(r, 0.0f, 1.0f), clampParam(g, 0.0f, 1.0f),
               clampParam(b, 0.0f, 1.0f))) {
        markChanged(*this, {&VRFZephraTable::keyStale});
    }
}

void VRFZephraTable::setNeutral(float r, float g, float b) {
    if (store3(neutral, clampParam(r, 0.001f, 1.0f), clampParam(g, 0.001f, 1.0f),
               clampParam(b, 0.001f, 1.0f))) {
        markChanged(*this, kWorkingSpaceFlags);
    }
}

void VRFZephraTable::setBalance(int which, float v) {
    if (static_cast<unsigned>(which) > 2u) return;
    if (store1(balance[which], clampParam(v, 0.0f, 1.0f))) {
        markChanged(*this, {&VRFZephraTable::keyStale});
    }
}

void VRFZephraTable::setGain(int which, float v) {
    if (static_cast<unsigned>(which) > 2u) return;
    if (store1(gain[which], clampParam(v, -1.0f, 1.0f))) {
        markChanged(*this, {&VRFZephraTable::keyStale});
    }
}

void VRFZephraTable::setExposure(float r, float g, float b, int set) {
    set = clampSet(set);
    if (store3(exposure[set], r, g, b)) markChanged(*this, {correctionFlag(set)});
}

void VRFZephraTable::setGamma(float r, float g, float b, int set) {
    set = clampSet(set);
    if (store3(gamma[set], r, g, b)) markChanged(*this, {correctionFlag(set)});
}

void VRFZephraTable::setOffset(float r, float g, float b, int set) {
    set = clampSet(set);
    if (store3(offset[set], r, g, b)) markChanged(*this, {correctionFlag(set)});
}

void VRFZephraTable::setSaturation(float v, int set) {
    set = clampSet(set);
    if (store1(saturation[set], clampParam(v, 0.0f, 3.0f))) {
        markChanged(*this, {correctionFlag(set)});
    }
}

void VRFZephraTable::useHold(int on) {
    if (store1(useHoldOn, on)) markChanged(*this, {});
}

void VRFZephraTable::useGarbage(int on) {
    if (store1(useGarbageOn, on)) markChanged(*this, {});
}

void VRFZephraTable::useRef(int on) {
    if (store1(useRefOn, on)) {
        markChanged(*this, {&VRFZephraTable::keyStale, &VRFZephraTable::screenLutStale});
    }
}

void VRFZephraTable::setView(int id) {
    if (store1(view, id)) markChanged(*this, {});
}

void VRFZephraTable::setColourspace(int id) {
    if (store1(colourspace, id)) markChanged(*this, kWorkingSpaceFlags);
}

void VRFZephraTable::setDstMax(int max) {
    if (store1(dstMax, max)) markChanged(*this, {&VRFZephraTable::outLutStale});
}

void VRFZephraTable::setFgMax(int max) { storeMax(*this, &VRFZephraTable::fgMax, max); }
void VRFZephraTable::setBgMax(int max) { storeMax(*this, &VRFZephraTable::bgMax, max); }
void VRFZephraTable::setRefMax(int max) { storeMax(*this, &VRFZephraTable::refMax, max); }
void VRFZephraTable::setGMatteMax(int max) { storeMax(*this, &VRFZephraTable::gMatteMax, max); }
void VRFZephraTable::setHMatteMax(int max) { storeMax(*this, &VRFZephraTable::hMatteMax, max); }

void VRFZephraTable::installCallback(Callback fn, void* data) {
    callback = fn;
    callbackData = data;
}

void VRFZephraTable::nukeTables() {
    staleAll = 1;
    if (callback != nullptr) callback(callbackData);
    for (int c = 0; c < 3; ++c) {
        for (std::int16_t** table :
             {&fgLut[c], &fgScreenLut[c], &refScreenLut[c], &bgLut[c], &refLut[c]}) {
            delete[] * table;
            *table = nullptr;
        }
    }
    for (std::uint32_t*& pairs : fgColourPairs) {
        delete[] pairs;
        pairs = nullptr;
    }
    delete[] holdLut;
    holdLut = nullptr;
    delete[] garbageLut;
    garbageLut = nullptr;
    // fgCorrectLut lives inside the object and does not depend on any maximum, so its flag
    // stays as it is.
    keyStale = 1;
    screenLutStale = 1;
    fgLutStale = 1;
    bgLutStale = 1;
    holdLutStale = 1;
    garbageLutStale = 1;
    outLutStale = 1;
}
