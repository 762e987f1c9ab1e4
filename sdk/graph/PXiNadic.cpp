#include <algorithm>
#include <string>

#include "sdk/graph/PXiNode.h"

PXiNadic::PXiNadic() : buffers_(1, nullptr) {
    depth_ = addPlug("depth", PXiPlug::kInt, 0);
    inputDepth_ = addPlug("inputDepth", PXiPlug::kInt, 0);
    depth_->setFlag(PXiPlug::kHidden, 1);
    inputDepth_->setFlag(PXiPlug::kHidden, 1);
    depth_->set(1);
    inputDepth_->set(1);
    getOutput()->getDepthPlug()->addDependency(depth_);
}

PXiNadic::~PXiNadic() = default;

PXiIPlug* PXiNadic::getInput(int index) {
    return (index >= 0 && index < getNumInputs()) ? inputs_[index] : nullptr;
}

PXiIPlug* PXiNadic::addInput(const char* name) {
    PXiIPlug* in = addImagePlug(name, 1);
    inputs_.push_back(in);
    buffers_.assign(inputs_.size(), nullptr);
    PXiIPlug* out = getOutput();
    if (inputs_.size() == 1) {
        out->getWidthPlug()->addDependency(in->getWidthPlug());
        out->getHeightPlug()->addDependency(in->getHeightPlug());
        out->getChannelsPlug()->addDependency(in->getChannelsPlug());
        out->getBPixelPlug()->addDependency(in->getBPixelPlug());
    }
    out->getDescriptionPlug()->addDependency(in->getDescriptionPlug());
    depth_->addDependency(in->getDepthPlug());
    inputDepth_->addDependency(in->getDepthPlug());
    in->getReqChannelsPlug()->addDependencies(out->getReqChannelsPlug(), in->getChannelsPlug(),
                                              out->getDescriptionPlug(), nullptr);
    return in;
}

void PXiNadic::setInputBuffers(PXiIBuf* const* buffers, int count) {
    std::fill(buffers_.begin(), buffers_.end(), nullptr);
    for (int i = 0; i < count && i < static_cast<int>(buffers_.size()); ++i)
        buffers_[i] = buffers[i];
}

int PXiNadic::bgnExec() { return 0; }

int PXiNadic::eval(PXiPlug* plug) {
    // A derived class's eval has answered this plug already: its value stands.
    if (!plug || plug->isAnswered()) return 0;
    PXiIPlug* out = getOutput();
    PXiIPlug* first = inputs_.empty() ? nullptr : inputs_[0];
    if (plug == out->getWidthPlug()) {
        if (first) plug->set(first->getWidthPlug()->asInt());
    } else if (plug == out->getHeightPlug()) {
        if (first) plug->set(first->getHeightPlug()->asInt());
    } else if (plug == out->getChannelsPlug()) {
        if (first) plug->set(first->getChannelsPlug()->asInt());
    } else if (plug == out->getBPixelPlug()) {
        if (first) plug->set(first->getBPixelPlug()->asVoid());
    } else if (plug == out->getDepthPlug()) {
        plug->set(depth_->asInt());
    } else if (plug == out->getDescriptionPlug()) {
        std::string d = std::string(className().c_str()) + "(";
        for (size_t i = 0; i < inputs_.size(); ++i) {
            if (i) d += ",";
            d += inputs_[i]->getDescriptionPlug()->asString().c_str();
        }
        d += ")";
        plug->set(PXiName::getString(d).compress());
    } else if (plug == depth_ || plug == inputDepth_) {
        if (!inputs_.empty()) {
            int deepest = 1;
            for (PXiIPlug* in : inputs_) deepest = std::max(deepest, in->getDepthPlug()->asInt());
            plug->set(deepest);
        }
    } else {
        for (PXiIPlug* in : inputs_) {
            if (plug == in->getReqChannelsPlug()) {
                plug->set(out->getReqChannelsPlug()->asInt() & in->getChannelsPlug()->asInt());
                break;
            }
        }
    }
    return 0;
}
