#pragma once

// The keyer's parameters as one value, and their transfer into an engine. The node fills it
// from its plugs when it evaluates its description; the Python module fills it from keyword
// arguments. Both then hand it to keyerTransfer, so that each parameter reaches the engine
// in one place and the same way. Standard library and the procedural interface only.

#include <string>

#include "api/zephra.h"

// `value` rounded to 4 decimal places, halves away from zero, computed in double precision and
// returned as the nearest float; NaN gives 0, infinities and floats too large to have a
// fractional part are returned unchanged. Every float parameter passes through it on its way
// to the engine.
float keyerRound(float value);

// The values of one transfer, read once. Floats hold keyerRound'ed values: the set functions
// round what they are given (the description string shows these same values). Fields are
// named after the node's plugs.
struct KeyerParams {
    float screen[3] = {};  // r, g, b
    float screenRange = 0.0f;
    float fgBias[3] = {};   // r, g, b: the engine's neutral colour
    float balance[3] = {};  // shadow, midtone, highlight
    float gain[3] = {};     // shadow, midtone, highlight
    float midTonesAt = 0.0f;
    float replace[3] = {};  // r, g, b: spill replace colour
    float exposure[3] = {};
    float gamma[3] = {};
    float saturation = 0.0f;
    std::string colourspace;  // "linear", "log", "video"; any other text keeps the engine's
    std::string output;       // output name, mapped by keyerOutputView
    int useHoldOutMatte = 0;
    std::string holdOutChannel;
    int useGarbageMatte = 0;
    std::string garbageChannel;

    // Which optional image inputs are connected.
    bool bgConnected = false;
    bool holdConnected = false;
    bool garbageConnected = false;
    // Bytes per sample of the keyed images: 1 gives sample maxima of 255, anything else 65535.
    int depth = 1;

    // Every parameter at the default the keyer's argument table gives it (a default that
    // follows another argument takes that one's default), nothing connected, 8-bit.
    static KeyerParams defaults();

    // Sets the parameter that the node plug named `plug` holds (floats rounded with
    // keyerRound). False when no parameter plug of that type has the name: bgColor and
    // clipMode, for one, shape the node's output but are not transferred.
    bool setFloat(const std::string& plug, float value);
    bool setInt(const std::string& plug, int value);
    bool setText(const std::string& plug, const std::string& value);

    // A matte takes part when it is switched on and connected.
    int holdInUse() const { return useHoldOutMatte != 0 && holdConnected ? 1 : 0; }
    int garbageInUse() const { return useGarbageMatte != 0 && garbageConnected ? 1 : 0; }
    // The channel letter of each matte: the first character of its channel text, upper-cased,
    // or 'A' when the matte is not in use (or the text is empty).
    char holdLetter() const;
    char garbageLetter() const;
};

// The engine view for an output name: "composite" 0, "compOnBlack" and "compOnReplace" 1
// (setting the engine's background colour to black or to `replace`), "unpremultiplied" 4,
// "status" 5, anything else 0. Names are compared whole and case-sensitively.
int keyerOutputView(ZephraHandle engine, const std::string& output, const float replace[3]);

// Results of zephra_makeLuts.
enum KeyerTablesResult : int {
    kTablesBuilt = 0,           // the engine can render
    kTablesNeutralZero = 1,     // the neutral colour has a component of zero in the working space
    kTablesScreenUnusable = 2,  // the screen colour is zero or illegal (the engine says which)
    kTablesOutOfMemory = 3,     // no memory for the tables, or sample maxima they cannot have
};

// What a result of zephra_makeLuts means, in a few words for a message ("the screen colour
// is zero or illegal (...)"); empty for kTablesBuilt.
std::string keyerTablesProblem(int makeLutsResult);

// What a transfer decided; the fill of the keyed images needs it.
struct KeyerTransfer {
    int keyView = 0;
    int holdInUse = 0;
    int garbageInUse = 0;
    char holdLetter = 'A';
    char garbageLetter = 'A';
    int makeLutsResult = kTablesBuilt;  // zephra_makeLuts' result
};

// Pushes `params` into the engine and has it rebuild the tables that changed: matte switches,
// view (a composite without a connected background becomes the composite over black),
// colour space, every colour parameter, sample maxima from the depth, then zephra_makeLuts.
// The engine's setters store only real changes, so a transfer of unchanged values rebuilds
// nothing.
KeyerTransfer keyerTransfer(const KeyerParams& params, ZephraHandle engine);
