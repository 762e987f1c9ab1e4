// Fuzzes plugs on keyer nodes: any text, number or plug name set on any plug (expressions
// that follow other plugs, cycles included), reads of any plug in any type, connections and
// disconnections of plugs and image inputs between two keyer nodes and four in-memory images
// (one of floats holding NaN, infinities and values outside 0..1), detaching dependencies,
// and renders of a tiny output in between. The user's mistakes are
// reported as PXiError; anything else (a crash, a sanitizer report, another exception, a
// render that outlasts the timeout) is a fault.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "host/PXxZephra.h"
#include "sdk/base/PXiError.h"
#include "sdk/graph/PXiIPlug.h"
#include "sdk/graph/PXiNode.h"
#include "sdk/image/PXiMemoryImage.h"
#include "sdk/image/PXiRender.h"

namespace {

std::unique_ptr<PXiMemoryImage> makeImage(int width, int height, int depth, unsigned seed) {
    auto img = std::make_unique<PXiMemoryImage>(width, height, depth);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const unsigned h = (unsigned(x) * 73856093u) ^ (unsigned(y) * 19349663u) ^ seed;
            PXiBPixel p;
            p.r = float(h % 7) / 6.0f;
            p.g = float(h % 11) / 10.0f;
            p.b = float(h % 5) / 4.0f;
            p.a = float(h % 3) / 2.0f;
            img->setPixel(x, y, p);
        }
    return img;
}

// A float image whose samples are the awkward values a float file can hold.
std::unique_ptr<PXiMemoryImage> makeExtremeImage() {
    static const float values[] = {std::numeric_limits<float>::quiet_NaN(),
                                   std::numeric_limits<float>::infinity(),
                                   -std::numeric_limits<float>::infinity(),
                                   -1.0f,
                                   1e30f,
                                   -1e30f,
                                   2.0f,
                                   std::numeric_limits<float>::denorm_min(),
                                   0.0f,
                                   1.0f,
                                   0.5f};
    auto img = std::make_unique<PXiMemoryImage>(4, 4, 4);
    auto* p = static_cast<float*>(img->getPixels());
    const std::size_t count = sizeof values / sizeof values[0];
    for (std::size_t i = 0; i < 4 * 4 * 4; ++i) p[i] = values[(i * 7) % count];
    return img;
}

float anyFloat(FuzzedDataProvider& in) {
    static const float special[] = {0.0f,
                                    1.0f,
                                    -1.0f,
                                    0.5f,
                                    2.0f,
                                    1e30f,
                                    std::numeric_limits<float>::quiet_NaN(),
                                    std::numeric_limits<float>::infinity(),
                                    -std::numeric_limits<float>::infinity()};
    if (in.ConsumeBool()) return in.PickValueInArray(special);
    return in.ConsumeFloatingPoint<float>();
}

// Texts a compositor might type: numbers, plug names, the node's words, or anything.
std::string anyText(FuzzedDataProvider& in, const std::vector<PXiPlug*>& plugs) {
    static const char* words[] = {"composite", "matte", "status", "compOnBlack", "compOnReplace",
                                  "linear",    "log",   "video",  "A",           "R",
                                  "G",         "B",     "",       "1e40",        "-0",
                                  "nan",       "inf",   "0x10",   " 0.5",        "0.5 "};
    switch (in.ConsumeIntegralInRange<int>(0, 2)) {
        case 0:
            return plugs[in.ConsumeIntegralInRange<std::size_t>(0, plugs.size() - 1)]
                ->getName()
                .c_str();
        case 1:
            return in.PickValueInArray(words);
        default:
            return in.ConsumeRandomLengthString(24);
    }
}

// Reads the output the way the render driver and a host do, then renders a tiny region.
void render(FuzzedDataProvider& in, PXxZephra* node) {
    const int x = in.ConsumeIntegralInRange<int>(-2, 6), y = in.ConsumeIntegralInRange<int>(-2, 4);
    const PXiIRect region(x, y, x + in.ConsumeIntegralInRange<int>(0, 6),
                          y + in.ConsumeIntegralInRange<int>(0, 4));
    PXiRenderImage(node->getOutput(), region);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 2048) return -1;
    FuzzedDataProvider in(data, size);

    std::unique_ptr<PXiMemoryImage> images[] = {makeImage(4, 3, 1, 1), makeImage(4, 3, 2, 2),
                                                makeImage(3, 4, 4, 3), makeExtremeImage()};
    PXxZephra* nodes[2];
    for (PXxZephra*& n : nodes) {
        n = new PXxZephra();
        n->setParent(PXiNode::getRoot());
    }
    std::vector<PXiPlug*> plugs;  // every plug of both nodes, then the images' outputs
    for (PXxZephra* n : nodes)
        for (const auto& p : n->getPlugs()) plugs.push_back(p.get());
    for (auto& img : images) plugs.push_back(img->getOutput());
    std::vector<PXiIPlug*> inputs;
    for (PXxZephra* n : nodes)
        for (int i = 0; i < n->getNumInputs(); ++i) inputs.push_back(n->getInput(i));
    std::vector<PXiIPlug*> sources = {nodes[0]->getOutput(), nodes[1]->getOutput(), nullptr};
    for (auto& img : images) sources.push_back(img->getOutput());

    // Typical starting point: both keyers fed, so that the renders key real pixels.
    for (int n = 0; n < 2; ++n)
        for (int i = 0; i < nodes[n]->getNumInputs(); ++i)
            nodes[n]->getInput(i)->connect(images[(i + n) % 4]->getOutput());

    const auto pickPlug = [&] {
        return plugs[in.ConsumeIntegralInRange<std::size_t>(0, plugs.size() - 1)];
    };
    int steps = 0;
    while (in.remaining_bytes() > 0 && ++steps <= 32) {
        try {
            switch (in.ConsumeIntegralInRange<int>(0, 10)) {
                case 0:
                case 1:
                    pickPlug()->set(anyText(in, plugs).c_str());
                    break;
                case 2:
                    pickPlug()->set(anyFloat(in));
                    break;
                case 3:
                    pickPlug()->set(in.ConsumeIntegral<int>());
                    break;
                case 4:
                    pickPlug()->asInt();
                    break;
                case 5:
                    pickPlug()->asFloat();
                    break;
                case 6:
                    pickPlug()->asString();
                    break;
                case 7:
                    pickPlug()->unset();
                    break;
                case 8: {
                    PXiIPlug* input =
                        inputs[in.ConsumeIntegralInRange<std::size_t>(0, inputs.size() - 1)];
                    input->connect(
                        sources[in.ConsumeIntegralInRange<std::size_t>(0, sources.size() - 1)]);
                    break;
                }
                case 9: {
                    PXiPlug* p = pickPlug();
                    const int how = in.ConsumeIntegralInRange<int>(0, 2);
                    if (how == 0)
                        p->detach(nullptr);
                    else if (how == 1)
                        p->detach(pickPlug());
                    else
                        p->connect(pickPlug());
                    break;
                }
                default:
                    render(in, nodes[in.ConsumeBool() ? 1 : 0]);
                    break;
            }
        } catch (const PXiError&) {
            // The user's mistake, reported; the graph is as it was.
        }
    }
    try {
        render(in, nodes[0]);
    } catch (const PXiError&) {
    }
    PXiNode::getRoot()->deleteChildren();
    return 0;
}
