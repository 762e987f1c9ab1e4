#pragma once

#include <vector>

#include "sdk/base/PXiName.h"

class PXiNode;

// A typed value owned by a node, with dependency tracking and lazy evaluation.
//
// Types: string (25), float (10), int (6), pointer (3) and image (40, see PXiIPlug).
//
// Validity. Setting a plug makes it valid and makes every plug that depends on it invalid,
// transitively. Reading an invalid plug (asInt, asFloat, asString, asVoid) first calls its
// node's eval(plug) once; afterwards the plug is valid whether or not eval set it, so eval runs
// exactly once per invalidation. A read of a plug whose eval is already running (a cycle of
// dependencies) returns its current value instead of evaluating again. unset() drops the
// value and makes the plug invalid.
//
// Expressions. A text set on a float or int plug is its expression: either a decimal number
// ("0.5", "-2", "1e-3"), stored as that number (rounded to nearest for an int plug), or the
// name of another float or int plug of the same node, which this plug then follows: it reads
// that plug's value and becomes invalid whenever that plug changes. Naming no number plug of
// the node, or closing a cycle of names, throws PXiError with a readable message and leaves
// the plug as it was. asString() of a following plug gives the name it follows.
//
// Connections. connect(upstream) makes this plug take its value from the upstream plug (any
// node); disconnecting or setting a value ends that. A connection that would close a cycle
// throws PXiError.
//
// Plugs are used from one thread at a time (the thread evaluating the graph); reading plugs
// that are all valid is safe from many threads at once, which is what the threaded fill does.
class PXiPlug {
public:
    enum Type { kPointer = 3, kInt = 6, kFloat = 10, kString = 25, kImage = 40 };
    enum Flag {
        kHidden = 1,  // internal plug: not public, not saved
        kNoSave = 4,  // not written when the node is serialized
        kNotify = 8,  // the node is notified of every set, also of sets made by its own eval
    };

    PXiPlug(PXiNode* node, const PXiName& name, int type, int io);
    virtual ~PXiPlug();
    PXiPlug(const PXiPlug&) = delete;
    PXiPlug& operator=(const PXiPlug&) = delete;

    PXiNode* getNode() const { return m_node; }
    const PXiName& getName() const { return m_name; }
    int getType() const { return m_type; }
    int getIO() const { return m_io; }

    // Storing a value. Numbers convert between int and float (float -> int rounds to nearest,
    // NaN gives 0); a number set on a string plug is stored as its shortest text; a text or
    // name set on a float or int plug is an expression (see above). A pointer can be set only
    // on a pointer plug, and nothing on an image plug: PXiError otherwise.
    void set(int value);
    void set(float value);
    void set(double value);  // beyond the float range: the largest float of its sign
    void set(const char* text);
    void set(const PXiName& text);
    void set(void* pointer);
    void unset();

    // Reading (evaluating first when invalid). Strings read as numbers parse as a decimal
    // number (0 when they are not one); numbers read as strings give their shortest text
    // that reads back to the same value; asVoid gives a pointer plug's pointer, or the address
    // of the stored value for other types (the text of a string plug).
    int asInt();
    float asFloat();
    PXiName asString();
    void* asVoid();
    int isValid() const { return m_valid ? 1 : 0; }

    // The expression text a float or int plug follows, or the empty name.
    const PXiName& getExpression() const { return m_expression; }

    void setFlag(int flag, int on, int reserved = 0);
    int getFlag(int flag) const { return (m_flags & flag) ? 1 : 0; }

    // Dependencies: a plug depends on others when its value is computed from them.
    // addDependencies(a, b, ..., nullptr): this plug depends on each listed plug.
    // addDependents(a, b, ..., nullptr): each listed plug depends on this plug.
    // Adding makes the dependent plug invalid. Duplicates are ignored.
    template <typename... P>
    void addDependencies(P... plugs) {
        PXiPlug* list[] = {static_cast<PXiPlug*>(plugs)..., nullptr};
        addDependencyList(list, static_cast<int>(sizeof...(plugs)));
    }
    template <typename... P>
    void addDependents(P... plugs) {
        PXiPlug* list[] = {static_cast<PXiPlug*>(plugs)..., nullptr};
        addDependentList(list, static_cast<int>(sizeof...(plugs)));
    }
    void addDependencyList(PXiPlug* const* plugs, int count);  // stops at the first null
    void addDependentList(PXiPlug* const* plugs, int count);
    void addDependency(PXiPlug* plug);
    void removeDependency(PXiPlug* plug);
    // 1 when this plug depends on plug: directly, or with transitive != 0 through others.
    int hasDependency(PXiPlug* plug, int transitive) const;

    // Connections. connect(nullptr) disconnects. detach(nullptr) ends the connection, the
    // expression and every dependency of this plug: afterwards only the dependencies declared
    // next and the node's eval govern it (it is invalid until then evaluated). detach(p) ends
    // the connection to p, or the dependency on p. Return 0.
    virtual int connect(PXiPlug* upstream);
    virtual int detach(PXiPlug* plug);
    int isConnected() const { return m_upstream != nullptr; }
    PXiPlug* getUpstream() const { return m_upstream; }

    // 1 while the node's eval for this plug runs and has set the plug: lets a base class's
    // eval tell whether a derived eval already answered the plug.
    int isAnswered() const { return (m_evaluating && m_answered) ? 1 : 0; }

protected:
    // Makes this plug and everything depending on it invalid.
    void invalidate();
    // Resolves connections and expressions, evaluating on the way; the plug holding the value.
    PXiPlug* resolve();
    void markValidQuietly();

private:
    friend class PXiIPlug;
    // Whether `to` can be reached from `from` through connections, expressions and
    // dependencies: what `from` is computed from.
    static bool reaches(const PXiPlug* from, const PXiPlug* to);
    void store(int kind);
    void afterSet();
    void follow(PXiPlug* target, const PXiName& text);
    void dropFollow();
    void evaluate();
    void propagate();

    PXiNode* m_node;
    PXiName m_name;
    int m_type;
    int m_io;
    int m_flags = 0;

    // Value.
    int m_intValue = 0;
    float m_floatValue = 0.0f;
    PXiName m_stringValue;
    void* m_pointerValue = nullptr;
    PXiName m_expression;           // text followed, for float and int plugs
    PXiPlug* m_target = nullptr;    // plug followed by the expression
    PXiPlug* m_upstream = nullptr;  // connection
    std::vector<PXiPlug*> m_downstream;
    std::vector<PXiPlug*> m_followers;

    bool m_valid = true;
    bool m_evaluating = false;
    bool m_answered = false;

    std::vector<PXiPlug*> m_dependencies;  // plugs this one depends on
    std::vector<PXiPlug*> m_dependents;    // plugs depending on this one
};
