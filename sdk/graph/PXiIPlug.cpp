#include "sdk/graph/PXiIPlug.h"

#include <string>
#include <unordered_set>
#include <vector>

#include "sdk/base/PXiError.h"
#include "sdk/graph/PXiNode.h"

namespace {

// 1 when `node` is `start` or feeds it through inputs, transitively.
bool feeds(PXiNode* node, PXiNode* start) {
    std::vector<PXiNode*> stack{start};
    std::unordered_set<PXiNode*> seen{start};
    while (!stack.empty()) {
        PXiNode* n = stack.back();
        stack.pop_back();
        if (n == node) return true;
        for (int i = 0;; ++i) {
            PXiIPlug* in = n->getInput(i);
            if (!in) break;
            PXiIPlug* up = in->getUpstreamImage();
            if (up && up->getNode() && seen.insert(up->getNode()).second)
                stack.push_back(up->getNode());
        }
    }
    return false;
}

}  // namespace

PXiIPlug::PXiIPlug(PXiNode* node, const PXiName& name, int io) : PXiPlug(node, name, kImage, io) {
    auto member = [&](const char* n, int type) {
        std::unique_ptr<PXiPlug> p(new PXiPlug(node, PXiName::getString(n), type, io));
        p->setFlag(kHidden, 1);
        return p;
    };
    width_ = member("width", kInt);
    height_ = member("height", kInt);
    depth_ = member("depth", kInt);
    channels_ = member("channels", kInt);
    reqChannels_ = member("requestedChannels", kInt);
    bpixel_ = member("bpixel", kPointer);
    description_ = member("description", kString);
    // An unconnected input's values; an output's are computed by its node.
    depth_->intValue_ = 1;
    description_->stringValue_ = PXiName::getString("0");
    reqChannels_->valid_ = false;
    if (io != 1) {
        for (PXiPlug* p : {width_.get(), height_.get(), depth_.get(), channels_.get(),
                           bpixel_.get(), description_.get()})
            p->valid_ = false;
    }
}

PXiIPlug::~PXiIPlug() {
    // Members go first, while this plug still exists for anything that refers to both.
    description_.reset();
    bpixel_.reset();
    reqChannels_.reset();
    channels_.reset();
    depth_.reset();
    height_.reset();
    width_.reset();
}

PXiIPlug* PXiIPlug::getUpstreamImage() const { return static_cast<PXiIPlug*>(getUpstream()); }

int PXiIPlug::connect(PXiPlug* upstream) {
    PXiIPlug* up = nullptr;
    if (upstream) {
        up = dynamic_cast<PXiIPlug*>(upstream);
        if (!up)
            throw PXiError("image '" + std::string(getName().c_str()) + "' cannot take plug '" +
                           upstream->getName().c_str() + "', which is not an image");
        if (up == this || (getNode() && up->getNode() && feeds(getNode(), up->getNode())))
            throw PXiError("connecting image '" + std::string(getName().c_str()) + "' of node " +
                           (getNode() ? getNode()->getName().c_str() : "?") +
                           " would make the node feed itself");
    }
    if (up == getUpstream()) return 0;
    PXiPlug::connect(up);
    width_->connect(up ? up->width_.get() : nullptr);
    height_->connect(up ? up->height_.get() : nullptr);
    depth_->connect(up ? up->depth_.get() : nullptr);
    channels_->connect(up ? up->channels_.get() : nullptr);
    bpixel_->connect(up ? up->bpixel_.get() : nullptr);
    description_->connect(up ? up->description_.get() : nullptr);
    reqChannels_->invalidate();
    return 0;
}

int PXiIPlug::detach(PXiPlug* plug) {
    if (!plug || plug == getUpstream()) connect(nullptr);
    if (!plug) PXiPlug::detach(nullptr);
    return 0;
}

PXiIRect PXiIPlug::getDod() {
    if (PXiIPlug* up = getUpstreamImage()) return up->getDod();
    if (hasDod_) return dod_;
    if (getIO() == 1) return PXiIRect();
    return PXiIRect(0, 0, width_->asInt(), height_->asInt());
}

void PXiIPlug::setDod(const PXiIRect& dod) {
    dod_ = dod;
    hasDod_ = true;
}

void PXiIPlug::clearDod() { hasDod_ = false; }

PXiIRect PXiIPlug::getRoi() {
    if (hasRoi_) return roi_;
    return PXiIRect(0, 0, width_->asInt(), height_->asInt());
}

void PXiIPlug::setRoi(const PXiIRect& roi) {
    roi_ = roi;
    hasRoi_ = true;
}

void PXiIPlug::getBPixel(PXiBPixel& out) {
    const PXiBPixel* p = static_cast<const PXiBPixel*>(bpixel_->asVoid());
    out = p ? *p : PXiBPixel();
}

PXiBPixel PXiIPlug::getBPixel() {
    PXiBPixel bp;
    getBPixel(bp);
    return bp;
}
