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
    m_width = member("width", kInt);
    m_height = member("height", kInt);
    m_depth = member("depth", kInt);
    m_channels = member("channels", kInt);
    m_reqChannels = member("requestedChannels", kInt);
    m_bpixel = member("bpixel", kPointer);
    m_description = member("description", kString);
    // An unconnected input's values; an output's are computed by its node.
    m_depth->m_intValue = 1;
    m_description->m_stringValue = PXiName::getString("0");
    m_reqChannels->m_valid = false;
    if (io != 1) {
        for (PXiPlug* p : {m_width.get(), m_height.get(), m_depth.get(), m_channels.get(),
                           m_bpixel.get(), m_description.get()})
            p->m_valid = false;
    }
}

PXiIPlug::~PXiIPlug() {
    // Members go first, while this plug still exists for anything that refers to both.
    m_description.reset();
    m_bpixel.reset();
    m_reqChannels.reset();
    m_channels.reset();
    m_depth.reset();
    m_height.reset();
    m_width.reset();
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
    m_width->connect(up ? up->m_width.get() : nullptr);
    m_height->connect(up ? up->m_height.get() : nullptr);
    m_depth->connect(up ? up->m_depth.get() : nullptr);
    m_channels->connect(up ? up->m_channels.get() : nullptr);
    m_bpixel->connect(up ? up->m_bpixel.get() : nullptr);
    m_description->connect(up ? up->m_description.get() : nullptr);
    m_reqChannels->invalidate();
    return 0;
}

int PXiIPlug::detach(PXiPlug* plug) {
    if (!plug || plug == getUpstream()) connect(nullptr);
    if (!plug) PXiPlug::detach(nullptr);
    return 0;
}

PXiIRect PXiIPlug::getDod() {
    if (PXiIPlug* up = getUpstreamImage()) return up->getDod();
    if (m_hasDod) return m_dod;
    if (getIO() == 1) return PXiIRect();
    return PXiIRect(0, 0, m_width->asInt(), m_height->asInt());
}

void PXiIPlug::setDod(const PXiIRect& dod) {
    m_dod = dod;
    m_hasDod = true;
}

PXiIRect PXiIPlug::getRoi() {
    if (m_hasRoi) return m_roi;
    return PXiIRect(0, 0, m_width->asInt(), m_height->asInt());
}

void PXiIPlug::setRoi(const PXiIRect& roi) {
    m_roi = roi;
    m_hasRoi = true;
}

void PXiIPlug::getBPixel(PXiBPixel& out) {
    const PXiBPixel* p = static_cast<const PXiBPixel*>(m_bpixel->asVoid());
    out = p ? *p : PXiBPixel();
}

PXiBPixel PXiIPlug::getBPixel() {
    PXiBPixel bp;
    getBPixel(bp);
    return bp;
}
