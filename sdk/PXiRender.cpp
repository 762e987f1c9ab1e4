#include "sdk/PXiRender.h"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <vector>

#include "sdk/PXiError.h"
#include "sdk/PXiNode.h"

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

// A picture that several inputs take, kept from its first render until its last taker has it.
struct SharedPicture {
    PXiIBuf picture;
    int channels;    // the channels it was rendered with
    int takersLeft;  // inputs still to take it
};

// One render of a graph. Each node's picture is rendered once: a node feeding several inputs
// (directly or down several paths) is kept until the last of them has taken it, so a graph
// costs what its nodes cost, not what its paths do, and holds no picture longer than needed.
struct RenderState {
    std::vector<PXiNode*> active;               // nodes being rendered, outermost first
    std::unordered_map<PXiIPlug*, int> takers;  // source -> connected inputs taking it
    std::unordered_map<PXiIPlug*, SharedPicture> made;

    // Counts, for every node output the graph reaches, the connected inputs that take it.
    explicit RenderState(PXiIPlug* root) {
        std::vector<PXiIPlug*> stack{sourceOf(root)};
        std::unordered_map<PXiIPlug*, bool> visited{{stack.back(), true}};
        while (!stack.empty()) {
            auto* nadic = dynamic_cast<PXiNadic*>(stack.back()->getNode());
            stack.pop_back();
            if (!nadic) continue;
            for (int i = 0; i < nadic->getNumInputs(); ++i) {
                PXiIPlug* in = nadic->getInput(i);
                if (!in || !in->getUpstreamImage()) continue;
                PXiIPlug* source = sourceOf(in);
                ++takers[source];
                if (visited.emplace(source, true).second) stack.push_back(source);
            }
        }
    }
};

PXiIBuf renderImage(PXiIPlug* image, const PXiIRect& region, int channels, RenderState& state);

// The picture for one connected input: rendered, or taken from an earlier render of the same
// source. Every taker but the last gets a copy, since the node taking it may key into it.
PXiIBuf takePicture(PXiIPlug* input, const PXiIRect& region, int channels, RenderState& state) {
    PXiIPlug* source = sourceOf(input);
    const auto count = state.takers.find(source);
    if (count == state.takers.end() || count->second < 2)
        return renderImage(source, region, channels, state);
    auto made = state.made.find(source);
    if (made == state.made.end()) {
        PXiIBuf picture = renderImage(source, region, channels, state);
        made =
            state.made.emplace(source, SharedPicture{std::move(picture), channels, count->second})
                .first;
    } else if (made->second.channels != channels) {
        return renderImage(source, region, channels, state);  // asked for other channels
    }
    SharedPicture& shared = made->second;
    if (--shared.takersLeft > 0) return shared.picture.converted(shared.picture.getDepth());
    PXiIBuf last = std::move(shared.picture);
    state.made.erase(made);
    return last;
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
        buffers[0] = PXiIBuf(region, depth);
        buffers[0].fill(outBp);
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
    PXiIBuf result = std::move(buffers[0]);
    if (!result.getData()) {
        result = PXiIBuf(region, outDepth);
        result.fill(outBp);
    } else if (result.getDepth() != outDepth) {
        result = result.converted(outDepth);
    }
    return result;
}

}  // namespace

PXiIBuf PXiRenderImage(PXiIPlug* image, const PXiIRect& region, int channels) {
    if (!image) throw PXiError("no image to render");
    RenderState state(image);
    return renderImage(image, region, channels, state);
}

PXiIBuf PXiRenderImage(PXiIPlug* image) {
    if (!image) throw PXiError("no image to render");
    PXiIRect whole(0, 0, image->getWidthPlug()->asInt(), image->getHeightPlug()->asInt());
    return PXiRenderImage(image, whole, PXiChanAll);
}
