#pragma once
// Checks of each frame's key that catch settings which key "successfully" into a useless
// picture: a matte that is opaque everywhere or transparent everywhere (a wrong screen colour,
// a plate of another screen colour), and a foreground with far less screen in it than the
// background (the two pictures given the other way round).
//
// Each check keys a small copy of the pictures (every n-th pixel) with the script's own
// settings into a status picture, so it costs a fraction of the frame's own key and leaves
// the script's nodes and pictures untouched. The keyer nodes of the checks live from frame to
// frame, so their tables are built once per run rather than once per frame, and a picture the
// host already holds in memory (a file as read) is sampled where it lies rather than rendered
// again.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Raster.h"
#include "sdk/PXiScriptError.h"
#include "sdk/PXiScriptFunction.h"

class PXiMemoryImage;
class PXiNode;

namespace pxhost {

// How much of a picture a key takes away and keeps.
struct MatteCoverage {
    double transparent = 0;  // share of pixels keyed away completely
    double opaque = 0;       // share of pixels kept completely
    long pixels = 0;
};

// The picture an image plug shows, when the host holds it in memory as it would render
// (the samples of a file as read); false when the picture has to be rendered.
using HeldPicture = std::function<bool(PXiIPlug* image, RasterView& picture)>;

class KeyChecks {
public:
    KeyChecks();
    ~KeyChecks();
    KeyChecks(const KeyChecks&) = delete;
    KeyChecks& operator=(const KeyChecks&) = delete;

    // Picks the keyer calls out of the script's calls: calls of commands that describe a
    // foreground "fg", a background "bg" and an output with a "status" choice.
    void setCalls(const std::vector<PXiScriptCallRecord>& calls);
    bool empty() const { return m_keys.empty(); }
    void setHeldPictures(HeldPicture held) { m_held = std::move(held); }

    // The warnings for the frame the script's inputs are set to now, each placed at its call.
    std::vector<PXiScriptError> check(long frame);

    // Ends the checks' own nodes; call while the plug-ins that made them are still loaded.
    void endProbes();

private:
    // A check's keyer node and the small picture it keys, kept while the picture's size stays.
    struct Probe;
    struct Key {
        PXiScriptCallRecord call;
        size_t fgImage;
        size_t bgImage;
        size_t outputText;
    };
    // The status picture of `key`'s call with `image` as its foreground and no other picture,
    // keyed from a small copy of `image` (every n-th pixel), measured.
    MatteCoverage statusCoverage(const Key& key, PXiIPlug* image, std::unique_ptr<Probe>& probe);

    std::vector<Key> m_keys;
    std::vector<std::unique_ptr<Probe>> m_probes;  // per key: the foreground's, the background's
    HeldPicture m_held;
};

// The checks' warnings for a frame; a check that cannot be made (a picture that does not
// render) gives none, as the frame's own render reports what is wrong.
std::vector<PXiScriptError> checkKeys(KeyChecks& checks, long frame);

}  // namespace pxhost
