#pragma once

// Table builders behind VRFZephraTable::makeLuts. Internal to the engine; nothing here is
// exported from the plug-in library.

#include <cstddef>
#include <cstdint>
#include <new>

#include "engine/VRFZephraTable.h"

namespace zephra {

// Quantities derived from the parameters at the start of every makeLuts run that does
// work; shared by all table builders. Each is evaluated in double precision and stored as
// a float, and the builders read them as those floats.
struct Derived {
    float n[3];              // working neutral colour
    float neutralWeight[3];  // smallest working neutral component / each component
    float screenWork[3];     // working screen colour, weighted
    float replaceWork[3];    // working replace colour, weighted
    float mpWork[3];         // working midtone point, weighted
    int high, middle, low;   // channel roles of the screen colour
    float screenStrength;    // how far the screen's high channel stands above the others
};

// Allocation through the engine's gate: null when the gate refuses or memory ran out.
template <typename T>
T* allocTable(const VRFZephraTable& e, std::size_t count) {
    if (e.allocGate != nullptr && !e.allocGate(e.allocGateData, count * sizeof(T))) {
        return nullptr;
    }
    return new (std::nothrow) T[count];
}

// ---- transfer tables ----
// fgLut and bgLut are built for all three channels at once (one transfer per sample).
void buildFgLut(VRFZephraTable& e, const Derived& d);
void buildOutLut(VRFZephraTable& e, const Derived& d, int c);
// screenInt, replaceInt and backgroundInt of channel c.
void buildColourInts(VRFZephraTable& e, const Derived& d, int c);
// refLut entry i of channel c (built alongside refScreenLut).
std::int16_t refLutEntry(const VRFZephraTable& e, const Derived& d, int c, int i);

// ---- screen and matte tables ----
// The projection tables: fgScreenLut when keyStale is set and, with a reference,
// refScreenLut, refLut and the reference fallbacks. false when the scratch array could not
// be allocated (nothing cleared then).
bool buildProjectionTables(VRFZephraTable& e, const Derived& d);
void buildScreenLut(VRFZephraTable& e, const Derived& d);
void buildMatteLut(VRFZephraTable& e, const Derived& d);
void buildHoldLut(VRFZephraTable& e);
void buildGarbageLut(VRFZephraTable& e);

// ---- colour-correction tables ----
void buildBgLut(VRFZephraTable& e, const Derived& d);
void buildFgCorrectLut(VRFZephraTable& e, const Derived& d, int c);
void buildSatMatrix(VRFZephraTable& e, const Derived& d);

}  // namespace zephra
