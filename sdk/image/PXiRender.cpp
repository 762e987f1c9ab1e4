#include "sdk/image/PXiRender.h"

#include <algorithm>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "sdk/base/PXiError.h"
#include "sdk/graph/PXiNode.h"
#include "sdk/graph/PXiPictureSource.h"

namespace {

std::string nodeLabel(PXiNode* node) {
    return node ? "node " + std::string(node->getName().c_str()) + " (" +
                      node->className().c_str() + ")"
                : std::string("an image without a node");
}

int checkedDepth(int depth, PXiNode* node) {
    if (depth != 1 && depth != 2 && depth != 4)
        throw PXiError(nodeLabel(node) + " has depth " + std::to_string(depth) +
                       "; images have 1, 2 or 4 bytes per sample");
    return depth;
}

// Reads every property of an image plug, so that each is evaluated now, on this thread, and
// the threads of a fill only read values that are already valid.
void askImage(PXiIPlug* image) {
    image->getDescriptionPlug()->asString();
    image->getChannelsPlug()->asInt();
    image->getWidthPlug()->asInt();
    image->getHeightPlug()->asInt();
    image->getDepthPlug()->asInt();
    image->getBPixel();
    image->getDod();
}

// Clears the node's buffer table and ends its execution however the fill ends.
struct Execution {
    PXiNadic* node;
    bool begun = false;
    ~Execution() {
        node->setInputBuffers(nullptr, 0);
        if (begun) {
            try {
                node->endExec();
            } catch (...) {
                // The fill's own exception (if any) is the one the caller sees.
            }
        }
    }
};

struct Active {
    std::vector<PXiNode*>& list;
    Active(std::vector<PXiNode*>& l, PXiNode* n) : list(l) { list.push_back(n); }
    ~Active() { list.pop_back(); }
};

// The image plug that holds the picture an image plug shows: the end of its connections.
PXiIPlug* sourceOf(PXiIPlug* image) {
    for (int hops = 0; image->getUpstreamImage(); ++hops) {
        if (hops > (1 << 20)) throw PXiError("chain of images too long");
        image = image->getUpstreamImage();
    }
    return image;
}

// One render of a graph. Each node's picture is rendered once: a node feeding several inputs
// (directly or down several paths) is kept until the last of them has taken it, so a graph
// costs what its nodes cost, not what its paths do, and holds no picture longer than needed.
struct RenderState {
    std::vector<PXiNode*> active;                 // nodes being rendered, outermost first
    std::unordered_map<PXiIPlug*, int> left;      // source -> takes still to come
    std::unordered_map<PXiIPlug*, PXiIBuf> made;  // pictures kept for takes to come
    PXiNodeFailures* failures = nullptr;          // where fills that failed are reported

    // Counts, for every node output the graph reaches, the connected inputs that show it;
    // rootsAreTakes: each root counts as one more take of what it shows (a batch).
    RenderState(const std::vector<PXiIPlug*>& roots, bool rootsAreTakes) {
        std::vector<PXiIPlug*> stack;
        for (PXiIPlug* root : roots) {
            if (!root) throw PXiError("no image to render");
            PXiIPlug* source = sourceOf(root);
            if (!rootsAreTakes || ++left[source] == 1) stack.push_back(source);
        }
        while (!stack.empty()) {
            auto* nadic = dynamic_cast<PXiNadic*>(stack.back()->getNode());
            stack.pop_back();
            if (!nadic) continue;
            for (int i = 0; i < nadic->getNumInputs(); ++i) {
                PXiIPlug* in = nadic->getInput(i);
                if (!in || !in->getUpstreamImage()) continue;
                PXiIPlug* source = sourceOf(in);
                if (++left[source] == 1) stack.push_back(source);
            }
        }
    }
};

PXiIBuf renderImage(PXiIPlug* image, const PXiIRect& region, int channels, RenderState& state);

bool sameRegion(const PXiIBuf& picture, const PXiIRect& region) {
    return picture.getFirstColumn() == region.x1 && picture.getFirstRow() == region.y1 &&
           picture.getWidth() == region.width() && picture.getNumRows() == region.height();
}

PXiIRect wholeImage(PXiIPlug* image) {
    return PXiIRect(0, 0, image->getWidthPlug()->asInt(), image->getHeightPlug()->asInt());
}

// The picture for one connected input. A source only this input shows is rendered with the
// channels the input asks for. A source several inputs show is rendered once, with every
// channel so that it holds what each of them asks for, and kept: every take but the last gets
// a copy, since the node taking it may key into it in place.
PXiIBuf takePicture(PXiIPlug* input, const PXiIRect& region, int channels, RenderState& state) {
    PXiIPlug* source = sourceOf(input);
    const int takesAfter = --state.left[source];
    const auto kept = state.made.find(source);
    // A picture kept over another region (roots of other sizes) does not serve this take.
    if (kept != state.made.end() && !sameRegion(kept->second, region))
        return renderImage(source, region, channels, state);
    if (kept == state.made.end()) {
        if (takesAfter <= 0) return renderImage(source, region, channels, state);
        PXiIBuf picture = renderImage(source, region, PXiChanAll, state);
        PXiIBuf copy = picture.converted(picture.getDepth());
        state.made.emplace(source, std::move(picture));
        return copy;
    }
    if (takesAfter > 0) return kept->second.converted(kept->second.getDepth());
    PXiIBuf last = std::move(kept->second);
    state.made.erase(kept);
    return last;
}

// A picture a source node gave instead of being filled (PXiPictureSource), checked: it must be
// what the driver would have prepared for the fill.
PXiIBuf givenPicture(PXiIBuf given, const PXiIRect& region, int depth, int outDepth,
                     PXiNode* node) {
    if (given.getRect() != region || given.getDepth() != depth ||
        given.getExtra() != PXiIBuf::rowPadding(region.width(), depth))
        throw PXiError(nodeLabel(node) + " gave a picture of another region or layout");
    return given.getDepth() == outDepth ? std::move(given) : given.converted(outDepth);
}

PXiIBuf renderImage(PXiIPlug* image, const PXiIRect& region, int channels, RenderState& state) {
    if (!image) throw PXiError("no image to render");
    image = sourceOf(image);
    std::vector<PXiNode*>& active = state.active;
    if (region.isEmpty()) return PXiIBuf::withoutData(region, 1);
    PXiNode* node = image->getNode();
    PXiNadic* nadic = dynamic_cast<PXiNadic*>(node);
    if (!nadic || nadic->getOutput() != image) {
        if (image->getIO() == 1) return PXiIBuf::withoutData(region, 1);  // nothing connected
        throw PXiError("image '" + std::string(image->getName().c_str()) + "' of " +
                       nodeLabel(node) + " cannot be rendered");
    }
    if (std::find(active.begin(), active.end(), node) != active.end())
        throw PXiError(nodeLabel(node) + " feeds itself");
    Active activeHere(active, node);

    PXiIPlug* out = image;
    out->getReqChannelsPlug()->set(channels);
    out->setRoi(region);
    askImage(out);
    const int depth = checkedDepth(nadic->getDepthPlug()->asInt(), node);
    const int outDepth = checkedDepth(out->getDepthPlug()->asInt(), node);
    const PXiBPixel outBp = out->getBPixel();

    const int inputs = nadic->getNumInputs();
    if (inputs == 0)
        if (auto* source = dynamic_cast<PXiPictureSource*>(node)) {
            PXiIBuf given = source->givePicture(region, depth);
            if (given.getData())
                return givenPicture(std::move(given), region, depth, outDepth, node);
        }
    std::vector<PXiIBuf> buffers(static_cast<std::size_t>(std::max(inputs, 1)));
    for (int i = 0; i < inputs; ++i) {
        PXiIPlug* in = nadic->getInput(i);
        in->setRoi(region);
        askImage(in);
        if (in->getUpstreamImage()) {
            PXiIBuf b = takePicture(in, region, in->getReqChannelsPlug()->asInt(), state);
            buffers[i] =
                (!b.getData() || b.getDepth() == depth) ? std::move(b) : b.converted(depth);
        } else {
            buffers[i] = PXiIBuf::withoutData(region, depth);
        }
    }
    if (inputs == 0) {
        buffers[0] = PXiIBuf::filled(region, depth, outBp);
    }
    // Rendering upstream may have touched plugs: bring everything the fill reads up to date
    // here, before any thread reads it.
    askImage(out);
    for (int i = 0; i < inputs; ++i) {
        askImage(nadic->getInput(i));
        nadic->getInput(i)->getReqChannelsPlug()->asInt();
    }
    nadic->getDepthPlug()->asInt();
    nadic->getInputDepthPlug()->asInt();

    std::vector<PXiIBuf*> table;
    for (PXiIBuf& b : buffers) table.push_back(&b);
    {
        Execution execution{nadic};
        nadic->setInputBuffers(table.data(), static_cast<int>(table.size()));
        nadic->bgnExec();
        execution.begun = true;
        nadic->fillOutputBuffer();
    }
    if (state.failures) {
        PXiFillFailure failure = nadic->fillFailure();
        if (failure.failed()) state.failures->push_back({node, std::move(failure)});
    }
    // The inputs' pictures other than buffer 0 (the output) end here: a source that gave one
    // may fill its samples again.
    for (int i = 1; i < inputs; ++i) {
        PXiIPlug* in = nadic->getInput(i);
        if (!buffers[i].getData() || !in->getUpstreamImage()) continue;
        if (auto* source = dynamic_cast<PXiPictureSource*>(sourceOf(in)->getNode()))
            source->takeBack(std::move(buffers[i]));
    }
    PXiIBuf result = std::move(buffers[0]);
    if (!result.getData()) {
        result = PXiIBuf::filled(region, outDepth, outBp);
    } else if (result.getDepth() != outDepth) {
        result = result.converted(outDepth);
    }
    return result;
}

}  // namespace

PXiIBuf PXiRenderImage(PXiIPlug* image, const PXiIRect& region, int channels,
                       PXiNodeFailures* failures) {
    if (!image) throw PXiError("no image to render");
    RenderState state({image}, false);
    state.failures = failures;
    return renderImage(image, region, channels, state);
}

PXiIBuf PXiRenderImage(PXiIPlug* image, PXiNodeFailures* failures) {
    if (!image) throw PXiError("no image to render");
    return PXiRenderImage(image, wholeImage(image), PXiChanAll, failures);
}

struct PXiRenderBatch::State : RenderState {
    explicit State(const std::vector<PXiIPlug*>& images) : RenderState(images, true) {}
};

PXiRenderBatch::PXiRenderBatch(const std::vector<PXiIPlug*>& images)
    : m_state(std::make_unique<State>(images)) {}

PXiRenderBatch::~PXiRenderBatch() = default;

PXiIBuf PXiRenderBatch::render(PXiIPlug* image, PXiNodeFailures* failures) {
    if (!image) throw PXiError("no image to render");
    m_state->failures = failures;
    struct Reset {
        State& state;
        ~Reset() { state.failures = nullptr; }
    } reset{*m_state};
    if (!m_state->left.count(sourceOf(image)))
        throw PXiError("the image was not given to the render batch");
    return takePicture(image, wholeImage(image), PXiChanAll, *m_state);
}
