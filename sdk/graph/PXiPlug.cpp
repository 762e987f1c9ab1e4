#include "sdk/graph/PXiPlug.h"

#include <algorithm>
#include <string>
#include <unordered_set>

#include "sdk/base/PXiError.h"
#include "sdk/base/PXiNumberText.h"
#include "sdk/graph/PXiNode.h"

namespace {

void eraseOne(std::vector<PXiPlug*>& list, PXiPlug* plug) {
    auto it = std::find(list.begin(), list.end(), plug);
    if (it != list.end()) list.erase(it);
}

bool contains(const std::vector<PXiPlug*>& list, const PXiPlug* plug) {
    return std::find(list.begin(), list.end(), plug) != list.end();
}

bool isNumberType(int type) { return type == PXiPlug::kInt || type == PXiPlug::kFloat; }

const char* typeName(int type) {
    switch (type) {
        case PXiPlug::kInt:
            return "int";
        case PXiPlug::kFloat:
            return "float";
        case PXiPlug::kString:
            return "string";
        case PXiPlug::kPointer:
            return "pointer";
        case PXiPlug::kImage:
            return "image";
    }
    return "unknown";
}

// Longest chain of connections and expressions followed before giving up; chains are kept
// free of cycles, so this only guards against a broken graph.
const int kMaxChain = 1 << 20;

std::string plugLabel(const PXiPlug* plug) {
    std::string s = "plug '";
    s += plug->getName().c_str();
    s += "'";
    if (plug->getNode()) {
        s += " of node ";
        s += plug->getNode()->getName().c_str();
    }
    return s;
}

}  // namespace

bool PXiPlug::reaches(const PXiPlug* from, const PXiPlug* to) {
    // Searched from both ends at once, one plug from each side in turn: what `from` is
    // computed from, and what is computed from `to`. The search ends when either side runs
    // out, so its cost is bounded by the smaller side. A node joined to the end of a long
    // graph has little downstream of it, so building a chain stays linear.
    struct Side {
        std::vector<const PXiPlug*> stack;
        std::unordered_set<const PXiPlug*> seen;
        explicit Side(const PXiPlug* start) : stack{start}, seen{start} {}
    };
    Side up(from), down(to);
    if (from == to) return true;
    while (!up.stack.empty() && !down.stack.empty()) {
        const PXiPlug* p = up.stack.back();
        up.stack.pop_back();
        for (const PXiPlug* q : {p->m_upstream, p->m_target}) {
            if (!q) continue;
            if (down.seen.count(q)) return true;
            if (up.seen.insert(q).second) up.stack.push_back(q);
        }
        for (const PXiPlug* q : p->m_dependencies) {
            if (down.seen.count(q)) return true;
            if (up.seen.insert(q).second) up.stack.push_back(q);
        }
        const PXiPlug* d = down.stack.back();
        down.stack.pop_back();
        for (const std::vector<PXiPlug*>* list :
             {&d->m_downstream, &d->m_followers, &d->m_dependents}) {
            for (const PXiPlug* q : *list) {
                if (up.seen.count(q)) return true;
                if (down.seen.insert(q).second) down.stack.push_back(q);
            }
        }
    }
    return false;
}

PXiPlug::PXiPlug(PXiNode* node, const PXiName& name, int type, int io)
    : m_node(node), m_name(name), m_type(type), m_io(io) {}

PXiPlug::~PXiPlug() {
    for (PXiPlug* d : m_dependencies) eraseOne(d->m_dependents, this);
    for (PXiPlug* d : m_dependents) eraseOne(d->m_dependencies, this);
    if (m_target) eraseOne(m_target->m_followers, this);
    if (m_upstream) eraseOne(m_upstream->m_downstream, this);
    std::vector<PXiPlug*> touched;
    for (PXiPlug* f : m_followers) {
        f->m_target = nullptr;
        f->m_expression = PXiName();
        touched.push_back(f);
    }
    for (PXiPlug* d : m_downstream) {
        d->m_upstream = nullptr;
        touched.push_back(d);
    }
    for (PXiPlug* d : m_dependents) touched.push_back(d);
    m_dependencies.clear();
    m_dependents.clear();
    m_followers.clear();
    m_downstream.clear();
    // What followed this plug has lost its source.
    for (PXiPlug* p : touched) p->invalidate();
}

// ---- storing -------------------------------------------------------------------------

void PXiPlug::set(int value) {
    if (m_type == kPointer || m_type == kImage)
        throw PXiError(plugLabel(this) + ": an int cannot be set on a " + typeName(m_type) +
                       " plug");
    dropFollow();
    if (m_upstream) connect(nullptr);
    m_intValue = value;
    m_floatValue = static_cast<float>(value);
    if (m_type == kString) m_stringValue = PXiName::getString(std::to_string(value));
    afterSet();
}

void PXiPlug::set(float value) {
    if (m_type == kPointer || m_type == kImage)
        throw PXiError(plugLabel(this) + ": a float cannot be set on a " + typeName(m_type) +
                       " plug");
    dropFollow();
    if (m_upstream) connect(nullptr);
    m_floatValue = value;
    m_intValue = PXiRoundToInt(value);
    if (m_type == kString) m_stringValue = PXiName::getString(PXiFloatText(value));
    afterSet();
}

void PXiPlug::set(double value) { set(PXiToFloat(value)); }

void PXiPlug::set(const PXiName& text) { set(text.c_str()); }

void PXiPlug::set(const char* text) {
    if (!text) text = "";
    if (m_type == kPointer || m_type == kImage)
        throw PXiError(plugLabel(this) + ": a text cannot be set on a " + typeName(m_type) +
                       " plug");
    if (m_type == kString) {
        if (m_upstream) connect(nullptr);
        m_stringValue = PXiName::getString(text);
        afterSet();
        return;
    }
    double number = 0.0;
    if (PXiParseDecimal(text, number)) {
        dropFollow();
        if (m_upstream) connect(nullptr);
        if (m_type == kInt) {
            m_intValue = PXiRoundToInt(number);
            m_floatValue = static_cast<float>(m_intValue);
        } else {
            m_floatValue = PXiToFloat(number);
            m_intValue = PXiRoundToInt(number);
        }
        afterSet();
        return;
    }
    // The name of another number plug of the node, which this plug then follows.
    std::string name(text);
    name.erase(0, name.find_first_not_of(" \t\r\n"));
    name.erase(name.find_last_not_of(" \t\r\n") + 1);
    PXiPlug* target = m_node ? m_node->getPlug(name.c_str()) : nullptr;
    if (!target || !isNumberType(target->m_type)) {
        std::string why =
            target ? std::string("' is a ") + typeName(target->m_type) + " plug, not a number"
                   : "' is neither a number nor a plug of the node";
        throw PXiError(plugLabel(this) + ": '" + name + why);
    }
    follow(target, PXiName::getString(name));
    afterSet();
}

void PXiPlug::set(void* pointer) {
    if (m_type != kPointer)
        throw PXiError(plugLabel(this) + ": a pointer cannot be set on a " + typeName(m_type) +
                       " plug");
    if (m_upstream) connect(nullptr);
    m_pointerValue = pointer;
    afterSet();
}

void PXiPlug::unset() {
    dropFollow();
    if (m_upstream) connect(nullptr);
    m_intValue = 0;
    m_floatValue = 0.0f;
    m_stringValue = PXiName();
    m_pointerValue = nullptr;
    invalidate();
}

void PXiPlug::follow(PXiPlug* target, const PXiName& text) {
    // Refuse a cycle: walk what the target itself follows.
    std::string chain = "'" + std::string(m_name.c_str()) + "' -> '" + text.c_str() + "'";
    int steps = 0;
    for (PXiPlug* p = target; p; p = p->m_target ? p->m_target : p->m_upstream) {
        if (p == this)
            throw PXiError(plugLabel(this) + ": following " + chain + " closes a cycle of plugs");
        if (p != target) chain += " -> '" + std::string(p->m_name.c_str()) + "'";
        if (++steps > kMaxChain) throw PXiError(plugLabel(this) + ": chain of plugs too long");
    }
    if (reaches(target, this))
        throw PXiError(plugLabel(this) + ": following '" + text.c_str() +
                       "' closes a cycle, since that plug is computed from this one");
    dropFollow();
    if (m_upstream) connect(nullptr);
    m_target = target;
    m_expression = text;
    target->m_followers.push_back(this);
}

void PXiPlug::dropFollow() {
    if (!m_target) return;
    eraseOne(m_target->m_followers, this);
    m_target = nullptr;
    m_expression = PXiName();
}

void PXiPlug::afterSet() {
    m_valid = true;
    if (m_evaluating) {
        // The node answering this plug: its dependents were made invalid when it was.
        m_answered = true;
        if ((m_flags & kNotify) && m_node) m_node->notify(this);
        return;
    }
    propagate();
    if (m_node) m_node->notify(this);
}

// ---- validity ------------------------------------------------------------------------

void PXiPlug::invalidate() {
    m_valid = false;
    propagate();
}

void PXiPlug::markValidQuietly() {
    if (!m_valid) m_valid = true;
}

void PXiPlug::propagate() {
    std::vector<PXiPlug*> stack{this};
    std::unordered_set<PXiPlug*> seen{this};
    while (!stack.empty()) {
        PXiPlug* p = stack.back();
        stack.pop_back();
        for (const std::vector<PXiPlug*>* list :
             {&p->m_dependents, &p->m_followers, &p->m_downstream}) {
            for (PXiPlug* q : *list) {
                if (seen.insert(q).second) {
                    q->m_valid = false;
                    stack.push_back(q);
                }
            }
        }
    }
}

void PXiPlug::evaluate() {
    struct Running {
        PXiPlug* plug;
        explicit Running(PXiPlug* p) : plug(p) {
            plug->m_evaluating = true;
            plug->m_answered = false;
        }
        ~Running() {
            plug->m_evaluating = false;
            plug->m_answered = false;
        }
    } running(this);
    if (m_node) m_node->eval(this);
    // Valid now, whether or not eval set a value: eval runs once per invalidation.
    m_valid = true;
}

PXiPlug* PXiPlug::resolve() {
    PXiPlug* p = this;
    for (int steps = 0; steps < kMaxChain; ++steps) {
        PXiPlug* next = p->m_upstream ? p->m_upstream : p->m_target;
        if (!next) {
            if (!p->m_valid && !p->m_evaluating) p->evaluate();
            return p;
        }
        p->markValidQuietly();
        p = next;
    }
    throw PXiError(plugLabel(this) + ": chain of plugs too long");
}

// ---- reading -------------------------------------------------------------------------

int PXiPlug::asInt() {
    PXiPlug* p = resolve();
    switch (p->m_type) {
        case kInt:
            return p->m_intValue;
        case kFloat:
            return PXiRoundToInt(p->m_floatValue);
        case kString: {
            double v = 0.0;
            return PXiParseDecimal(p->m_stringValue.c_str(), v) ? PXiRoundToInt(v) : 0;
        }
        case kPointer:
            return p->m_pointerValue ? 1 : 0;
    }
    return 0;
}

float PXiPlug::asFloat() {
    PXiPlug* p = resolve();
    switch (p->m_type) {
        case kInt:
            return static_cast<float>(p->m_intValue);
        case kFloat:
            return p->m_floatValue;
        case kString: {
            double v = 0.0;
            return PXiParseDecimal(p->m_stringValue.c_str(), v) ? PXiToFloat(v) : 0.0f;
        }
        case kPointer:
            return p->m_pointerValue ? 1.0f : 0.0f;
    }
    return 0.0f;
}

PXiName PXiPlug::asString() {
    if (!m_upstream && m_target) {
        resolve();
        return m_expression;
    }
    PXiPlug* p = resolve();
    switch (p->m_type) {
        case kInt:
            return PXiName::getString(std::to_string(p->m_intValue));
        case kFloat:
            return PXiName::getString(PXiFloatText(p->m_floatValue));
        case kString:
            return p->m_stringValue;
        case kPointer:
            return p->m_pointerValue ? PXiName::sprintf("%p", p->m_pointerValue) : PXiName("0");
    }
    return PXiName();
}

void* PXiPlug::asVoid() {
    PXiPlug* p = resolve();
    switch (p->m_type) {
        case kInt:
            return &p->m_intValue;
        case kFloat:
            return &p->m_floatValue;
        case kString:
            return const_cast<char*>(p->m_stringValue.c_str());
        case kPointer:
            return p->m_pointerValue;
    }
    return p;
}

// ---- flags, dependencies, connections --------------------------------------------------

void PXiPlug::setFlag(int flag, int on, int) {
    if (on)
        m_flags |= flag;
    else
        m_flags &= ~flag;
}

void PXiPlug::addDependencyList(PXiPlug* const* plugs, int count) {
    for (int i = 0; i < count && plugs[i]; ++i) addDependency(plugs[i]);
}

void PXiPlug::addDependentList(PXiPlug* const* plugs, int count) {
    for (int i = 0; i < count && plugs[i]; ++i) plugs[i]->addDependency(this);
}

void PXiPlug::addDependency(PXiPlug* plug) {
    if (!plug || plug == this || contains(m_dependencies, plug)) return;
    m_dependencies.push_back(plug);
    plug->m_dependents.push_back(this);
    invalidate();
}

void PXiPlug::removeDependency(PXiPlug* plug) {
    if (!plug || !contains(m_dependencies, plug)) return;
    eraseOne(m_dependencies, plug);
    eraseOne(plug->m_dependents, this);
    invalidate();
}

int PXiPlug::hasDependency(PXiPlug* plug, int transitive) const {
    if (!plug) return 0;
    if (!transitive) return contains(m_dependencies, plug) ? 1 : 0;
    std::vector<const PXiPlug*> stack{this};
    std::unordered_set<const PXiPlug*> seen{this};
    while (!stack.empty()) {
        const PXiPlug* p = stack.back();
        stack.pop_back();
        for (PXiPlug* q : p->m_dependencies) {
            if (q == plug) return 1;
            if (seen.insert(q).second) stack.push_back(q);
        }
    }
    return 0;
}

int PXiPlug::connect(PXiPlug* upstream) {
    if (upstream == m_upstream) return 0;
    if (upstream) {
        if ((upstream->m_type == kImage) != (m_type == kImage))
            throw PXiError(plugLabel(this) + ": cannot take its value from " + plugLabel(upstream) +
                           " (" + typeName(upstream->m_type) + ")");
        if (reaches(upstream, this))
            throw PXiError(plugLabel(this) + ": connecting it to " + plugLabel(upstream) +
                           " closes a cycle");
    }
    dropFollow();
    if (m_upstream) eraseOne(m_upstream->m_downstream, this);
    m_upstream = upstream;
    if (upstream) upstream->m_downstream.push_back(this);
    invalidate();
    return 0;
}

int PXiPlug::detach(PXiPlug* plug) {
    if (!plug) {
        connect(nullptr);
        dropFollow();
        for (PXiPlug* d : m_dependencies) eraseOne(d->m_dependents, this);
        m_dependencies.clear();
        invalidate();
        return 0;
    }
    if (plug == m_upstream) return connect(nullptr);
    if (plug == m_target) {
        dropFollow();
        invalidate();
        return 0;
    }
    removeDependency(plug);
    return 0;
}
