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
        for (const PXiPlug* q : {p->upstream_, p->target_}) {
            if (!q) continue;
            if (down.seen.count(q)) return true;
            if (up.seen.insert(q).second) up.stack.push_back(q);
        }
        for (const PXiPlug* q : p->dependencies_) {
            if (down.seen.count(q)) return true;
            if (up.seen.insert(q).second) up.stack.push_back(q);
        }
        const PXiPlug* d = down.stack.back();
        down.stack.pop_back();
        for (const std::vector<PXiPlug*>* list :
             {&d->downstream_, &d->followers_, &d->dependents_}) {
            for (const PXiPlug* q : *list) {
                if (up.seen.count(q)) return true;
                if (down.seen.insert(q).second) down.stack.push_back(q);
            }
        }
    }
    return false;
}

PXiPlug::PXiPlug(PXiNode* node, const PXiName& name, int type, int io)
    : node_(node), name_(name), type_(type), io_(io) {}

PXiPlug::~PXiPlug() {
    for (PXiPlug* d : dependencies_) eraseOne(d->dependents_, this);
    for (PXiPlug* d : dependents_) eraseOne(d->dependencies_, this);
    if (target_) eraseOne(target_->followers_, this);
    if (upstream_) eraseOne(upstream_->downstream_, this);
    std::vector<PXiPlug*> touched;
    for (PXiPlug* f : followers_) {
        f->target_ = nullptr;
        f->expression_ = PXiName();
        touched.push_back(f);
    }
    for (PXiPlug* d : downstream_) {
        d->upstream_ = nullptr;
        touched.push_back(d);
    }
    for (PXiPlug* d : dependents_) touched.push_back(d);
    dependencies_.clear();
    dependents_.clear();
    followers_.clear();
    downstream_.clear();
    // What followed this plug has lost its source.
    for (PXiPlug* p : touched) p->invalidate();
}

// ---- storing -------------------------------------------------------------------------

void PXiPlug::set(int value) {
    if (type_ == kPointer || type_ == kImage)
        throw PXiError(plugLabel(this) + ": an int cannot be set on a " + typeName(type_) +
                       " plug");
    dropFollow();
    if (upstream_) connect(nullptr);
    intValue_ = value;
    floatValue_ = static_cast<float>(value);
    if (type_ == kString) stringValue_ = PXiName::getString(std::to_string(value));
    afterSet();
}

void PXiPlug::set(float value) {
    if (type_ == kPointer || type_ == kImage)
        throw PXiError(plugLabel(this) + ": a float cannot be set on a " + typeName(type_) +
                       " plug");
    dropFollow();
    if (upstream_) connect(nullptr);
    floatValue_ = value;
    intValue_ = PXiRoundToInt(value);
    if (type_ == kString) stringValue_ = PXiName::getString(PXiFloatText(value));
    afterSet();
}

void PXiPlug::set(double value) { set(PXiToFloat(value)); }

void PXiPlug::set(const PXiName& text) { set(text.c_str()); }

void PXiPlug::set(const char* text) {
    if (!text) text = "";
    if (type_ == kPointer || type_ == kImage)
        throw PXiError(plugLabel(this) + ": a text cannot be set on a " + typeName(type_) +
                       " plug");
    if (type_ == kString) {
        if (upstream_) connect(nullptr);
        stringValue_ = PXiName::getString(text);
        afterSet();
        return;
    }
    double number = 0.0;
    if (PXiParseDecimal(text, number)) {
        dropFollow();
        if (upstream_) connect(nullptr);
        if (type_ == kInt) {
            intValue_ = PXiRoundToInt(number);
            floatValue_ = static_cast<float>(intValue_);
        } else {
            floatValue_ = PXiToFloat(number);
            intValue_ = PXiRoundToInt(number);
        }
        afterSet();
        return;
    }
    // The name of another number plug of the node, which this plug then follows.
    std::string name(text);
    name.erase(0, name.find_first_not_of(" \t\r\n"));
    name.erase(name.find_last_not_of(" \t\r\n") + 1);
    PXiPlug* target = node_ ? node_->getPlug(name.c_str()) : nullptr;
    if (!target || !isNumberType(target->type_)) {
        std::string why =
            target ? std::string("' is a ") + typeName(target->type_) + " plug, not a number"
                   : "' is neither a number nor a plug of the node";
        throw PXiError(plugLabel(this) + ": '" + name + why);
    }
    follow(target, PXiName::getString(name));
    afterSet();
}

void PXiPlug::set(void* pointer) {
    if (type_ != kPointer)
        throw PXiError(plugLabel(this) + ": a pointer cannot be set on a " + typeName(type_) +
                       " plug");
    if (upstream_) connect(nullptr);
    pointerValue_ = pointer;
    afterSet();
}

void PXiPlug::unset() {
    dropFollow();
    if (upstream_) connect(nullptr);
    intValue_ = 0;
    floatValue_ = 0.0f;
    stringValue_ = PXiName();
    pointerValue_ = nullptr;
    invalidate();
}

void PXiPlug::follow(PXiPlug* target, const PXiName& text) {
    // Refuse a cycle: walk what the target itself follows.
    std::string chain = "'" + std::string(name_.c_str()) + "' -> '" + text.c_str() + "'";
    int steps = 0;
    for (PXiPlug* p = target; p; p = p->target_ ? p->target_ : p->upstream_) {
        if (p == this)
            throw PXiError(plugLabel(this) + ": following " + chain + " closes a cycle of plugs");
        if (p != target) chain += " -> '" + std::string(p->name_.c_str()) + "'";
        if (++steps > kMaxChain) throw PXiError(plugLabel(this) + ": chain of plugs too long");
    }
    if (reaches(target, this))
        throw PXiError(plugLabel(this) + ": following '" + text.c_str() +
                       "' closes a cycle, since that plug is computed from this one");
    dropFollow();
    if (upstream_) connect(nullptr);
    target_ = target;
    expression_ = text;
    target->followers_.push_back(this);
}

void PXiPlug::dropFollow() {
    if (!target_) return;
    eraseOne(target_->followers_, this);
    target_ = nullptr;
    expression_ = PXiName();
}

void PXiPlug::afterSet() {
    valid_ = true;
    if (evaluating_) {
        // The node answering this plug: its dependents were made invalid when it was.
        answered_ = true;
        if ((flags_ & kNotify) && node_) node_->notify(this);
        return;
    }
    propagate();
    if (node_) node_->notify(this);
}

// ---- validity ------------------------------------------------------------------------

void PXiPlug::invalidate() {
    valid_ = false;
    propagate();
}

void PXiPlug::markValidQuietly() {
    if (!valid_) valid_ = true;
}

void PXiPlug::propagate() {
    std::vector<PXiPlug*> stack{this};
    std::unordered_set<PXiPlug*> seen{this};
    while (!stack.empty()) {
        PXiPlug* p = stack.back();
        stack.pop_back();
        for (const std::vector<PXiPlug*>* list :
             {&p->dependents_, &p->followers_, &p->downstream_}) {
            for (PXiPlug* q : *list) {
                if (seen.insert(q).second) {
                    q->valid_ = false;
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
            plug->evaluating_ = true;
            plug->answered_ = false;
        }
        ~Running() {
            plug->evaluating_ = false;
            plug->answered_ = false;
        }
    } running(this);
    if (node_) node_->eval(this);
    // Valid now, whether or not eval set a value: eval runs once per invalidation.
    valid_ = true;
}

PXiPlug* PXiPlug::resolve() {
    PXiPlug* p = this;
    for (int steps = 0; steps < kMaxChain; ++steps) {
        PXiPlug* next = p->upstream_ ? p->upstream_ : p->target_;
        if (!next) {
            if (!p->valid_ && !p->evaluating_) p->evaluate();
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
    switch (p->type_) {
        case kInt:
            return p->intValue_;
        case kFloat:
            return PXiRoundToInt(p->floatValue_);
        case kString: {
            double v = 0.0;
            return PXiParseDecimal(p->stringValue_.c_str(), v) ? PXiRoundToInt(v) : 0;
        }
        case kPointer:
            return p->pointerValue_ ? 1 : 0;
    }
    return 0;
}

float PXiPlug::asFloat() {
    PXiPlug* p = resolve();
    switch (p->type_) {
        case kInt:
            return static_cast<float>(p->intValue_);
        case kFloat:
            return p->floatValue_;
        case kString: {
            double v = 0.0;
            return PXiParseDecimal(p->stringValue_.c_str(), v) ? PXiToFloat(v) : 0.0f;
        }
        case kPointer:
            return p->pointerValue_ ? 1.0f : 0.0f;
    }
    return 0.0f;
}

PXiName PXiPlug::asString() {
    if (!upstream_ && target_) {
        resolve();
        return expression_;
    }
    PXiPlug* p = resolve();
    switch (p->type_) {
        case kInt:
            return PXiName::getString(std::to_string(p->intValue_));
        case kFloat:
            return PXiName::getString(PXiFloatText(p->floatValue_));
        case kString:
            return p->stringValue_;
        case kPointer:
            return p->pointerValue_ ? PXiName::sprintf("%p", p->pointerValue_) : PXiName("0");
    }
    return PXiName();
}

void* PXiPlug::asVoid() {
    PXiPlug* p = resolve();
    switch (p->type_) {
        case kInt:
            return &p->intValue_;
        case kFloat:
            return &p->floatValue_;
        case kString:
            return const_cast<char*>(p->stringValue_.c_str());
        case kPointer:
            return p->pointerValue_;
    }
    return p;
}

// ---- flags, dependencies, connections --------------------------------------------------

void PXiPlug::setFlag(int flag, int on, int) {
    if (on)
        flags_ |= flag;
    else
        flags_ &= ~flag;
}

void PXiPlug::addDependencyList(PXiPlug* const* plugs, int count) {
    for (int i = 0; i < count && plugs[i]; ++i) addDependency(plugs[i]);
}

void PXiPlug::addDependentList(PXiPlug* const* plugs, int count) {
    for (int i = 0; i < count && plugs[i]; ++i) plugs[i]->addDependency(this);
}

void PXiPlug::addDependency(PXiPlug* plug) {
    if (!plug || plug == this || contains(dependencies_, plug)) return;
    dependencies_.push_back(plug);
    plug->dependents_.push_back(this);
    invalidate();
}

void PXiPlug::removeDependency(PXiPlug* plug) {
    if (!plug || !contains(dependencies_, plug)) return;
    eraseOne(dependencies_, plug);
    eraseOne(plug->dependents_, this);
    invalidate();
}

int PXiPlug::hasDependency(PXiPlug* plug, int transitive) const {
    if (!plug) return 0;
    if (!transitive) return contains(dependencies_, plug) ? 1 : 0;
    std::vector<const PXiPlug*> stack{this};
    std::unordered_set<const PXiPlug*> seen{this};
    while (!stack.empty()) {
        const PXiPlug* p = stack.back();
        stack.pop_back();
        for (PXiPlug* q : p->dependencies_) {
            if (q == plug) return 1;
            if (seen.insert(q).second) stack.push_back(q);
        }
    }
    return 0;
}

int PXiPlug::connect(PXiPlug* upstream) {
    if (upstream == upstream_) return 0;
    if (upstream) {
        if ((upstream->type_ == kImage) != (type_ == kImage))
            throw PXiError(plugLabel(this) + ": cannot take its value from " + plugLabel(upstream) +
                           " (" + typeName(upstream->type_) + ")");
        if (reaches(upstream, this))
            throw PXiError(plugLabel(this) + ": connecting it to " + plugLabel(upstream) +
                           " closes a cycle");
    }
    dropFollow();
    if (upstream_) eraseOne(upstream_->downstream_, this);
    upstream_ = upstream;
    if (upstream) upstream->downstream_.push_back(this);
    invalidate();
    return 0;
}

int PXiPlug::detach(PXiPlug* plug) {
    if (!plug) {
        connect(nullptr);
        dropFollow();
        for (PXiPlug* d : dependencies_) eraseOne(d->dependents_, this);
        dependencies_.clear();
        invalidate();
        return 0;
    }
    if (plug == upstream_) return connect(nullptr);
    if (plug == target_) {
        dropFollow();
        invalidate();
        return 0;
    }
    removeDependency(plug);
    return 0;
}
