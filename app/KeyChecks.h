#pragma once
// Checks of each frame's key that catch settings which key "successfully" into a useless
// picture: a matte that is opaque everywhere or transparent everywhere (a wrong screen colour,
// a plate of another screen colour), and a foreground with far less screen in it than the
// background (the two pictures given the other way round).
//
// Each check keys a small copy of the pictures (every n-th pixel) with the script's own
// settings into a status picture, so it costs a fraction of the frame's own key and leaves
// the script's nodes and pictures untouched.

#include <string>
#include <vector>

#include "sdk/PXiRender.h"
#include "sdk/PXiScriptError.h"
#include "sdk/PXiScriptFunction.h"

namespace pxhost {

// How much of a picture a key takes away and keeps.
struct MatteCoverage {
    double transparent = 0;  // share of pixels keyed away completely
    double opaque = 0;       // share of pixels kept completely
    long pixels = 0;
};

class KeyChecks {
public:
    // Picks the keyer calls out of the script's calls: calls of commands that describe a
    // foreground "fg", a background "bg" and an output with a "status" choice.
    void setCalls(const std::vector<PXiScriptCallRecord>& calls);
    bool empty() const { return m_keys.empty(); }

    // The warnings for the frame the script's inputs are set to now, each placed at its call.
    std::vector<PXiScriptError> check(long frame) const;

private:
    struct Key {
        PXiScriptCallRecord call;
        size_t fgImage;
        size_t bgImage;
        size_t outputText;
    };
    std::vector<Key> m_keys;
};

// The checks' warnings for a frame; a check that cannot be made (a picture that does not
// render) gives none, as the frame's own render reports what is wrong.
std::vector<PXiScriptError> checkKeys(const KeyChecks& checks, long frame);

// The status picture of the keyer call `call` with `image` as its foreground and no other
// picture, keyed from every `step`-th pixel of `image`, measured. `image` is rendered by
// `batch` when one is given (it must be one of the batch's images).
MatteCoverage statusCoverage(const PXiScriptCallRecord& call, size_t fgImage, size_t outputText,
                             PXiIPlug* image, PXiRenderBatch* batch = nullptr);

}  // namespace pxhost
