#include "sdk/graph/PXiNode.h"

#include <algorithm>
#include <string>

PXiNadic::PXiNadic() : m_buffers(1, nullptr) {
    m_depth = addPlug("depth", PXiPlug::kInt, 0);
    m_inputDepth = addPlug("inputDepth", PXiPlug::kInt, 0);
    m_depth->setFlag(PXiPlug::kHidden, 1);
    m_inputDepth->setFlag(PXiPlug::kHidden, 1);
    m_depth->set(1);
    m_inputDepth->set(1);
    getOutput()->getDepthPlug()->addDependency(m_depth);
}

PXiNadic::~PXiNadic() = default;

PXiIPlug* PXiNadic::getInput(int index) {
    return (index >= 0 && index < getNumInputs()) ? m_inputs[index] : nullptr;
}

PXiIPlug* PXiNadic::addInput(const char* name) {
    PXiIPlug* in = addImagePlug(name, 1);
    m_inputs.push_back(in);
    m_buffers.assign(m_inputs.size(), nullptr);
    PXiIPlug* out = getOutput();
    if (m_inputs.size() == 1) {
        out->getWidthPlug()->addDependency(in->getWidthPlug());
        out->getHeightPlug()->addDependency(in->getHeightPlug());
        out->getChannelsPlug()->addDependency(in->getChannelsPlug());
        out->getBPixelPlug()->addDependency(in->getBPixelPlug());
    }
    out->getDescriptionPlug()->addDependency(in->getDescriptionPlug());
    m_depth->addDependency(in->getDepthPlug());
    m_inputDepth->addDependency(in->getDepthPlug());
    in->getReqChannelsPlug()->addDependencies(out->getReqChannelsPlug(), in->getChannelsPlug(),
                                              out->getDescriptionPlug(), nullptr);
    return in;
}

void PXiNadic::setInputBuffers(PXiIBuf* const* buffers, int count) {
    std::fill(m_buffers.begin(), m_buffers.end(), nullptr);
    for (int i = 0; i < count && i < static_cast<int>(m_buffers.size()); ++i)
        m_buffers[i] = buffers[i];
}

int PXiNadic::bgnExec() { return 0; }

int PXiNadic::eval(PXiPlug* plug) {
    // A derived class's eval has answered this plug already: its value stands.
    if (!plug || plug->isAnswered()) return 0;
    PXiIPlug* out = getOutput();
    PXiIPlug* first = m_inputs.empty() ? nullptr : m_inputs[0];
    if (plug == out->getWidthPlug()) {
        if (first) plug->set(first->getWidthPlug()->asInt());
    } else if (plug == out->getHeightPlug()) {
        if (first) plug->set(first->getHeightPlug()->asInt());
    } else if (plug == out->getChannelsPlug()) {
        if (first) plug->set(first->getChannelsPlug()->asInt());
    } else if (plug == out->getBPixelPlug()) {
        if (first) plug->set(first->getBPixelPlug()->asVoid());
    } else if (plug == out->getDepthPlug()) {
        plug->set(m_depth->asInt());
    } else if (plug == out->getDescriptionPlug()) {
        std::string d = std::string(className().c_str()) + "(";
        for (size_t i = 0; i < m_inputs.size(); ++i) {
            if (i) d += ",";
            d += m_inputs[i]->getDescriptionPlug()->asString().c_str();
        }
        d += ")";
        plug->set(PXiName::getString(d).compress());
    } else if (plug == m_depth || plug == m_inputDepth) {
        if (!m_inputs.empty()) {
            int deepest = 1;
            for (PXiIPlug* in : m_inputs) deepest = std::max(deepest, in->getDepthPlug()->asInt());
            plug->set(deepest);
        }
    } else {
        for (PXiIPlug* in : m_inputs) {
            if (plug == in->getReqChannelsPlug()) {
                plug->set(out->getReqChannelsPlug()->asInt() & in->getChannelsPlug()->asInt());
                break;
            }
        }
    }
    return 0;
}
