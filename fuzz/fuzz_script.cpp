// Fuzzes the script language: any text through the compiler and the interpreter, with the
// keyer's commands declared (its node objects are linked in, so they register once, when the
// program starts) and in-memory images in place of files. Every image the script names is
// then rendered, so that the keyer's eval and fill run on whatever the script built.
//
// Built-ins of this program:
//   image Image(int width = 4, int height = 4, int depth = 1, float value = 0.5)
//     a width x height image (each 0..32, larger is refused as an error) at depth 1, 2 or 4
//     with a deterministic pattern around a screen-like colour; value (any float, NaN and
//     infinities included) is written into some of its samples.
// and the names fg, bg, matte: three small images made before each run.
//
// Besides crashes it checks values: every number text given to Image reads as the standard
// library reads it, out-of-range numbers as their nearest limit (never 0); and a render fills
// each image at most once for each set of channels, however many paths of the graph lead to it (a
// graph that renders a node once per path grows exponentially and shows as a failed check, not as a
// slow input).
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "sdk/base/PXiError.h"
#include "sdk/base/PXiNumberText.h"
#include "sdk/graph/PXiIPlug.h"
#include "sdk/graph/PXiNode.h"
#include "sdk/image/PXiMemoryImage.h"
#include "sdk/image/PXiRender.h"
#include "sdk/script/PXiCmplr.h"
#include "sdk/script/PXiScriptRunner.h"

namespace {

constexpr int kMaxSide = 32;
// Long enough for graphs of a few thousand nodes; a graph that cost more than linear time to
// build or render would then show as a slow input.
constexpr std::size_t kMaxScript = 64 * 1024;

// Checks the script's reading of a number text against the standard library's: the same
// value, or for a number beyond a double the largest finite double of its sign (0 when too
// small), and as a float never infinite for a finite text.
void checkNumberText(const char* text) {
    double value = 0.0;
    if (!text || !PXiParseDecimal(text, value)) return;
    const double reference = std::strtod(text, nullptr);
    const double expected = std::isinf(reference) ? std::copysign(DBL_MAX, reference) : reference;
    if (value != expected && !(value == 0.0 && expected == 0.0)) std::abort();
    if (std::isinf(PXiToFloat(value))) std::abort();
}

// A number argument; NaN and the infinities pass through (they become pixel values).
double number(const char* text) {
    if (!text) return 0.0;
    char* end = nullptr;
    return std::strtod(text, &end);
}

// A width or height: a whole number, else -1 (refused).
int side(const char* text) {
    const double v = number(text);
    return v >= 0 && v <= kMaxSide && v == std::floor(v) ? int(v) : -1;
}

// A depth: a whole number (the image refuses all but 1, 2 and 4), else 0.
int depth(const char* text) {
    const double v = number(text);
    return v >= -8 && v <= 8 && v == std::floor(v) ? int(v) : 0;
}

// An image that notes the channels of each fill, so that a render filling it twice for the
// same channels is caught.
class CountedImage : public PXiMemoryImage {
public:
    using PXiMemoryImage::PXiMemoryImage;
    void fillOutputBuffer() override {
        const int channels = getOutput()->getReqChannelsPlug()->asInt();
        if (std::find(fills.begin(), fills.end(), channels) != fills.end()) filledTwice = true;
        fills.push_back(channels);
        PXiMemoryImage::fillOutputBuffer();
    }
    std::vector<int> fills;
    bool filledTwice = false;
};

// Owns the images made for one run; the keyer nodes the script made hang under the root and
// are deleted first, since they refer to the images.
class Images {
public:
    ~Images() {
        PXiNode::getRoot()->deleteChildren();
        images_.clear();
    }

    // Before a render: no image filled yet. After it: none filled twice.
    void resetFills() {
        for (auto& image : images_) {
            image->fills.clear();
            image->filledTwice = false;
        }
    }
    bool filledOnce() const {
        for (const auto& image : images_)
            if (image->filledTwice) return false;
        return true;
    }

    PXiIPlug* make(int width, int height, int depth, double value) {
        if (width < 0 || height < 0 || width > kMaxSide || height > kMaxSide)
            throw PXiError("Image: width and height must lie in 0.." + std::to_string(kMaxSide));
        images_.push_back(std::make_unique<CountedImage>(width, height, depth));
        PXiMemoryImage* img = images_.back().get();
        // Mostly a green screen, with a foreground blob and edges of every colour. The value
        // enters the pixels as it is: NaN, infinities, negatives and values above 1 reach the
        // keyer (at depths 1 and 2 they are converted like a background pixel first).
        const float v = float(value);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                PXiBPixel p;
                const bool subject = (x * 7 + y * 3) % 5 == 0;
                p.r = subject ? 0.8f : 0.1f + 0.05f * float(x % 3);
                p.g = subject ? 0.6f * v : 0.7f + 0.1f * float(y % 2);
                p.b = subject ? 0.3f : 0.15f * float(y % 4);
                p.a = (x + y) % 4 == 3 ? v : float((x + y) % 3) / 2.0f;
                img->setPixel(x, y, p);
            }
        return img->getOutput();
    }

private:
    std::vector<std::unique_ptr<CountedImage>> images_;
};

Images* g_images = nullptr;  // the images of the run in progress

PXiScope& builtins() {
    static PXiScope* scope = [] {
        auto* s = new PXiScope(PXiScope::getGlobal());
        PXiCmplr compiler;
        const int status = compiler.declareHostFunction(
            s,
            "extern image Image(int width = 4, int height = 4, int depth = 1, float value = 0.5);",
            [](const PXiScriptCall& call) {
                for (const char* text : call.texts) checkNumberText(text);
                return g_images->make(side(call.texts.at(0)), side(call.texts.at(1)),
                                      depth(call.texts.at(2)), number(call.texts.at(3)));
            },
            "fuzz");
        if (status != PXiCmplr::kOk) std::abort();
        return s;
    }();
    return *scope;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > kMaxScript) return -1;
    const std::string text(reinterpret_cast<const char*>(data), size);
    Images images;
    g_images = &images;
    PXiScope scope(&builtins());
    scope.setValue("fg", PXiValue::ofImage(images.make(6, 4, 2, 0.25)));
    scope.setValue("bg", PXiValue::ofImage(images.make(6, 4, 1, 0.75)));
    scope.setValue("matte", PXiValue::ofImage(images.make(6, 4, 4, 0.5)));

    const PXiScriptResult result = PXiRunScript(text, "fuzz.pxs", &scope);
    // FUZZ_VERBOSE=1 when replaying an input tells what became of it.
    static const bool verbose = std::getenv("FUZZ_VERBOSE") != nullptr;
    if (verbose) std::fprintf(stderr, "%s\n", result.error ? result.error->what() : "script ran");
    if (result.ok()) {
        for (const auto& named : result.images) {
            if (!named.second) continue;
            try {
                images.resetFills();
                PXiRenderImage(named.second);
                if (!images.filledOnce()) std::abort();
                if (verbose) std::fprintf(stderr, "rendered %s\n", named.first.c_str());
            } catch (const PXiError& e) {
                if (verbose) std::fprintf(stderr, "render refused: %s\n", e.what());
                // A graph the renderer refuses (a cycle, a size it cannot hold) is a user's
                // mistake reported as such.
            }
        }
    }
    g_images = nullptr;
    return 0;
}
