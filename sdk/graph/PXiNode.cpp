#include "sdk/graph/PXiNode.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <string>
#include <unordered_set>

#include "sdk/base/PXiError.h"
#include "sdk/base/PXiFile.h"
#include "sdk/graph/PXiClassName.h"

namespace {

// Guards every node's parent and children, so nodes can be made and parented on several
// threads at once (each thread building its own graph under the shared root).
std::mutex& familyMutex() {
    static std::mutex* m = new std::mutex;
    return *m;
}

PXiName nextNodeName() {
    static std::atomic<unsigned> counter{0};
    return PXiName::sprintf("n%u", ++counter);
}

void writeUpstreamFirst(PXiNode* node, std::unordered_set<PXiNode*>& done,
                        std::vector<PXiNode*>& order) {
    if (!node || !done.insert(node).second) return;
    for (int i = 0;; ++i) {
        PXiIPlug* in = node->getInput(i);
        if (!in) break;
        PXiIPlug* up = in->getUpstreamImage();
        if (up) writeUpstreamFirst(up->getNode(), done, order);
    }
    order.push_back(node);
}

}  // namespace

PXiNode::PXiNode() : m_name(nextNodeName()) {}

PXiNode::~PXiNode() {
    deleteChildren();
    setParent(nullptr);
    // Plugs go last to first, so later plugs that refer to earlier ones go first.
    while (!m_plugs.empty()) m_plugs.pop_back();
}

void PXiNode::notify(PXiPlug*) {}

int PXiNode::eval(PXiPlug*) { return 0; }

int PXiNode::serialize(PXiFile& file, int) {
    std::string line = std::string(m_name.c_str()) + " = " + className().c_str() + "(";
    bool first = true;
    auto separate = [&]() {
        if (!first) line += ", ";
        first = false;
    };
    for (int i = 0;; ++i) {
        PXiIPlug* in = getInput(i);
        if (!in) break;
        separate();
        PXiIPlug* up = in->getUpstreamImage();
        line += (up && up->getNode()) ? up->getNode()->getName().c_str() : "0";
    }
    if (file.write(line) != 0) return -1;
    line.clear();
    for (const std::unique_ptr<PXiPlug>& p : m_plugs) {
        if (p->getType() == PXiPlug::kImage || p->getFlag(PXiPlug::kHidden) ||
            p->getFlag(PXiPlug::kNoSave))
            continue;
        separate();
        if (file.write(line) != 0) return -1;
        line.clear();
        switch (p->getType()) {
            case PXiPlug::kInt:
            case PXiPlug::kFloat:
                if (!p->getExpression().empty() && !p->isConnected()) {
                    if (file.writeQuoted(p->getExpression().c_str()) != 0) return -1;
                } else if (p->getType() == PXiPlug::kFloat && !std::isfinite(p->asFloat())) {
                    // Written so that reading it back as a number gives the same value.
                    float v = p->asFloat();
                    line = std::isnan(v) ? "0" : (v > 0 ? "1e999" : "-1e999");
                } else {
                    line = p->asString().c_str();
                }
                break;
            case PXiPlug::kString:
                if (file.writeQuoted(p->asString().c_str()) != 0) return -1;
                break;
            default:
                line = "0";
        }
    }
    line += ");\n";
    return file.write(line);
}

int PXiNode::checkInterrupt() { return 0; }
int PXiNode::bgnExec() { return 0; }
int PXiNode::endExec() { return 0; }

int PXiNode::save(PXiFile& file, PXiScope*, int flags) {
    std::unordered_set<PXiNode*> done;
    std::vector<PXiNode*> order;
    writeUpstreamFirst(this, done, order);
    for (PXiNode* n : order)
        if (n->serialize(file, flags) != 0) return -1;
    return 0;
}

int PXiNode::saveSelection(PXiFile& file, PXiPArray<PXiNode>* selection) {
    if (!selection) return 0;
    std::unordered_set<PXiNode*> done;
    std::vector<PXiNode*> order;
    for (PXiNode* n : *selection) writeUpstreamFirst(n, done, order);
    for (PXiNode* n : order)
        if (n->serialize(file, 0) != 0) return -1;
    return 0;
}

int PXiNode::getSelectionSource(PXiPArray<PXiNode>* sources) {
    if (!sources) return 0;
    int count = 0;
    for (int i = 0;; ++i) {
        PXiIPlug* in = getInput(i);
        if (!in) break;
        PXiIPlug* up = in->getUpstreamImage();
        if (up && up->getNode() && sources->find(up->getNode()) < 0) {
            sources->append(up->getNode());
            ++count;
        }
    }
    return count;
}

int PXiNode::getPublicPlugs(PXiPArray<PXiPlug>& plugs) {
    int count = 0;
    for (const std::unique_ptr<PXiPlug>& p : m_plugs) {
        if (p->getType() == PXiPlug::kImage || p->getFlag(PXiPlug::kHidden)) continue;
        plugs.append(p.get());
        ++count;
    }
    return count;
}

int PXiNode::retimePlugs(float) { return 0; }
PXiIPlug* PXiNode::getInput(int) { return nullptr; }
PXiIPlug* PXiNode::getOutput() { return nullptr; }

void PXiNode::addChild(PXiNode* child) {
    if (!child || child == this) return;
    child->setParent(this);
}

void PXiNode::removeChild(PXiNode* child) {
    if (child && child->m_parent == this) child->setParent(nullptr);
}

void PXiNode::setParent(PXiNode* parent) {
    if (parent == this) return;
    std::lock_guard<std::mutex> lock(familyMutex());
    if (m_parent == parent) return;
    if (m_parent) {
        auto& siblings = m_parent->m_children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
    m_parent = parent;
    if (m_parent) m_parent->m_children.push_back(this);
}

const char* PXiNode::getIconName() const { return "node"; }

PXiNode* PXiNode::instantiate() const { return nullptr; }

const PXiName& PXiNode::className() const {
    static const PXiName name = PXiClassName::registerClassName("PXiNode", "");
    return name;
}

void PXiNode::fillOutputBuffer() {}

PXiFillFailure PXiNode::fillFailure() const { return {}; }

PXiPlug* PXiNode::addPlug(const char* name, int type, int io, int, int) {
    if (type != PXiPlug::kString && type != PXiPlug::kFloat && type != PXiPlug::kInt &&
        type != PXiPlug::kPointer)
        throw PXiError("node " + std::string(m_name.c_str()) + ": plug '" + (name ? name : "") +
                       "' has unknown type " + std::to_string(type));
    PXiName n = PXiName::getString(name);
    if (n.empty() || getPlug(n))
        throw PXiError("node " + std::string(m_name.c_str()) + ": a plug named '" + n.c_str() +
                       (n.empty() ? "' cannot be made" : "' already exists"));
    m_plugs.emplace_back(new PXiPlug(this, n, type, io));
    return m_plugs.back().get();
}

PXiIPlug* PXiNode::addImagePlug(const char* name, int io) {
    PXiName n = PXiName::getString(name);
    if (n.empty() || getPlug(n))
        throw PXiError("node " + std::string(m_name.c_str()) + ": an image named '" + n.c_str() +
                       (n.empty() ? "' cannot be made" : "' already exists"));
    PXiIPlug* p = new PXiIPlug(this, n, io);
    m_plugs.emplace_back(p);
    return p;
}

PXiPlug* PXiNode::getPlug(const char* name) const { return getPlug(PXiName::getString(name)); }

PXiPlug* PXiNode::getPlug(const PXiName& name) const {
    for (const std::unique_ptr<PXiPlug>& p : m_plugs)
        if (p->getName() == name) return p.get();
    return nullptr;
}

PXiNode* PXiNode::getRoot() {
    // Never destroyed: nodes of plug-ins may still hang under it while the process ends.
    static PXiNode* root = [] {
        PXiNode* r = new PXiNode;
        r->setName(PXiName::getString("root"));
        return r;
    }();
    return root;
}

void PXiNode::deleteChildren() {
    for (;;) {
        PXiNode* child = nullptr;
        {
            std::lock_guard<std::mutex> lock(familyMutex());
            if (m_children.empty()) return;
            child = m_children.back();
        }
        delete child;  // leaves this node's children on the way
    }
}

// ---- PXiFx ---------------------------------------------------------------------------

PXiFx::PXiFx() : m_output(addImagePlug("Result", 2)) {}
PXiFx::~PXiFx() = default;
PXiIPlug* PXiFx::getInput(int) { return nullptr; }
PXiIPlug* PXiFx::getOutput() { return m_output; }
