#pragma once

// Named numbers of the keyer node that are not about pixels (ZephraChannels.h is): its image
// inputs and the engine's view and colour-space ids. Standard C++ only.

// The node's image inputs, in the order added: also their index for getInput and for the
// input buffers of a fill.
enum ZephraInput : int {
    kInputFg = 0,
    kInputBg = 1,
    kInputHoldOutMatte = 2,
    kInputGarbageMatte = 3,
    kInputCount = 4,
};

// Engine view ids (zephra_setView); any other id renders like kViewUnpremultiplied.
enum ZephraView : int {
    kViewComposite = 0,  // over the background plate
    kViewFlat = 1,       // over the engine's flat background colour
    kViewMatte = 2,
    kViewUnpremultiplied = 4,
    kViewStatus = 5,
};

// Engine colour-space ids (zephra_setColourspace); any other id acts as linear.
enum ZephraColourspace : int {
    kColourspaceLinear = 0,
    kColourspaceLog = 1,
    kColourspaceVideo = 2,
};
