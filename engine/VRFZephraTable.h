#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/ZephraExport.h"
#include "engine/Ztile.h"

// The keyer engine: every keying parameter, the stale flags that say which lookup tables
// must be rebuilt, and the tables themselves. Setters clamp and record changes, makeLuts
// rebuilds exactly the stale tables, render keys tiles from the tables with integer
// arithmetic only.
//
// Units: colours and parameters are floats, nominally 0..1. "Internal units" is the 14-bit
// working scale in which 16383 stands for 1.0. "Q12" is fixed point with 4096 for 1.0.
// Channel 0 is red, 1 green, 2 blue.
//
// The fields keep their documented order (the object is shared with code that reads them
// directly) and are public. The object holds its fixed-size tables inline and is therefore
// large (a little over 200 KiB): create it on the heap. The heap tables are owned by the
// object and freed in one place, nukeTables().
class ZEPHRA_EXPORT VRFZephraTable {
public:
    using Callback = void (*)(void* data);

    VRFZephraTable();
    ~VRFZephraTable();
    VRFZephraTable(const VRFZephraTable&) = delete;
    VRFZephraTable& operator=(const VRFZephraTable&) = delete;

    // ---- setters: clamp, store only a real change, raise flags, notify ----
    void setScreen(float r, float g, float b);
    void setScreenRange(float v);
    void setReplace(float r, float g, float b);
    void setBackground(float r, float g, float b);
    void setMp(float r, float g, float b);
    void setNeutral(float r, float g, float b);
    void setBalance(int which, float v);
    void setGain(int which, float v);
    void setExposure(float r, float g, float b, int set);
    void setGamma(float r, float g, float b, int set);
    void setOffset(float r, float g, float b, int set);
    void setSaturation(float v, int set);
    void useHold(int on);
    void useGarbage(int on);
    void useRef(int on);
    void setView(int id);
    void setColourspace(int id);
    void setDstMax(int max);
    void setFgMax(int max);
    void setBgMax(int max);
    void setRefMax(int max);
    void setGMatteMax(int max);
    void setHMatteMax(int max);

    void installCallback(Callback fn, void* data);
    // Frees every heap table, raises their flags and staleAll, notifies.
    void nukeTables();

    // 0 tables current, 1 neutral colour with a zero working component, 2 screen colour
    // zero or illegal, 3 out of memory.
    int makeLuts();
    // Keys one tile. bytes: 1 or 2 per sample. 0 done (also 0, writing nothing, while the
    // tables are stale), 1 refused. Reads the engine only: safe on several threads at once.
    int render(int bytes, int width, int height, const Ztile* tile) const;

    // ---- fields, in their documented order ----
    int staleAll;         // some parameter changed since the last successful makeLuts
    int keyStale;         // fgScreenLut must be rebuilt
    int screenLutStale;   // screenLut must be rebuilt
    int fgLutStale;       // fgLut must be rebuilt
    int bgLutStale;       // bgLut (background correction, set 1) must be rebuilt
    int fgCorrectStale;   // fgCorrectLut (foreground correction, set 0) must be rebuilt
    int holdLutStale;     // holdLut must be rebuilt
    int garbageLutStale;  // garbageLut must be rebuilt
    int outLutStale;      // outLut must be rebuilt

    int fgMax;      // largest foreground sample value
    int bgMax;      // largest background sample value
    int refMax;     // largest reference-plate sample value
    int dstMax;     // largest output sample value
    int gMatteMax;  // largest garbage-matte sample value
    int hMatteMax;  // largest hold-out-matte sample value

    float balance[3];     // screen balance: shadows, midtones, highlights
    float screen[3];      // screen colour
    float mp[3];          // midtone point
    float replace[3];     // spill replace colour
    float background[3];  // flat background colour (view 1)
    float neutral[3];     // foreground bias colour, treated as neutral grey
    float gain[3];        // screen gain: shadows, midtones, highlights

    int view;  // output view id: 0 composite, 1 over flat colour, 2 matte, 4 unpremultiplied,
               // 5 status; anything else renders like 4
    // The three input switches. The member operations of the same names set them, so the
    // fields carry an "On" suffix.
    int useHoldOn;      // a hold-out matte is supplied
    int useGarbageOn;   // a garbage matte is supplied
    int useRefOn;       // a reference (clean screen) plate is supplied
    float screenRange;  // tolerance around the screen colour that is keyed fully
    int colourspace;    // 0 linear, 1 log, 2 video; anything else acts as linear

    int refFallbackInt[3];  // screen colour through the reference tables, internal units
    int refFallbackSum;     // screen projection of the screen colour as a reference, >= 1

    float exposure[2][3];  // correction sets: 0 foreground, 1 background
    float offset[2][3];
    float gamma[2][3];
    float saturation[2];     // a set with saturation exactly 1.0 has its matrix off
    int satMatrix[2][3][3];  // Q12 colour matrices, row-major

    std::int16_t fgCorrectLut[3][16384];  // foreground correction, by internal units
    // The input tables (fgLut, bgLut, refLut, holdLut, garbageLut, fgScreenLut, refScreenLut)
    // hold entries 0 .. max of their input and, above the maximum, copies of the entry at the
    // maximum up to the largest sample the input can hold: 255 for maxima up to 255, 65535
    // above.
    std::int16_t* fgLut[3];          // fg sample -> internal units
    std::int16_t* bgLut[3];          // bg sample -> corrected internal units
    std::int16_t* refLut[3];         // ref sample -> internal units (with a reference)
    std::int16_t backgroundInt[3];   // background in internal units
    int screenInt[3];                // screen colour in internal units
    int replaceInt[3];               // replace colour in internal units
    std::int16_t* holdLut;           // hold-out sample -> Q12 strength
    std::int16_t* garbageLut;        // garbage sample -> Q12 keep factor
    std::int16_t* fgScreenLut[3];    // fg sample -> signed projection contribution
    std::int16_t* refScreenLut[3];   // ref sample -> signed projection contribution
    std::int16_t screenLut[4096];    // projection -> Q12 screen amount (no reference)
    std::uint16_t outLut[3][16384];  // internal units -> output sample 0..dstMax
    std::int16_t matteLut[4097];     // raw alpha 0..4096 -> Q12 matte
    Callback callback;               // change notification, or null
    void* callbackData;              // passed to callback

    // ---- beyond the documented layout ----
    // Allocation gate, for tests of the out-of-memory path: when set, makeLuts asks it
    // before every heap table and scratch array it allocates, and a false answer makes that
    // allocation fail exactly as if memory had run out. Null (the default) allows all.
    using AllocGate = bool (*)(void* data, std::size_t bytes);
    AllocGate allocGate;
    void* allocGateData;
    // The renderer's pairing of fgLut and fgScreenLut, one 32-bit entry per foreground sample
    // (see tables/ZephraColourPairs.h): allocated, rebuilt and freed with the two tables. The
    // renderer reads the foreground's colour and projection from here only, so code that
    // writes fgLut or fgScreenLut entries itself rebuilds the pairs (buildColourPairs) before
    // it renders.
    std::uint32_t* fgColourPairs[3];
};
