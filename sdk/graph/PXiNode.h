#pragma once

#include <memory>
#include <vector>

#include "sdk/base/PXiName.h"
#include "sdk/base/PXiPArray.h"
#include "sdk/graph/PXiFillFailure.h"
#include "sdk/graph/PXiIPlug.h"
#include "sdk/graph/PXiPlug.h"
#include "sdk/image/PXiImage.h"

class PXiFile;
class PXiScope;

// A node of the host's graph: it owns its plugs and its children, and computes the plugs that
// are read while invalid through eval. Nodes live on the heap; a node deletes its children
// when it is deleted, and leaves its parent's list of children. The root node, parent of every
// node that scripts make, is never deleted itself; deleteChildren() on it ends them all (the
// host program does this before unloading plug-ins).
//
// Every node has a name, by default "n" followed by a number unique in the process, used as
// the variable name when the node is saved as a script.
class PXiNode {
public:
    PXiNode();
    // Virtual operations, in this order. Part of the SDK contract plug-ins rely on: a node
    // class compiled against these slots finds each where it expects it, so they all stay,
    // also those that nothing in this host calls (saveSelection, getSelectionSource,
    // getPublicPlugs, retimePlugs, checkInterrupt, addChild, removeChild, getIconName).
    virtual ~PXiNode();
    // Called after a plug of this node was set (not for sets a node's eval makes on the plug
    // it is evaluating, unless the plug carries kNotify). The base does nothing.
    virtual void notify(PXiPlug* plug);
    // Computes the plug's value by setting it. The base leaves the plug as it is. Returns 0.
    virtual int eval(PXiPlug* plug);
    // Writes this node as one script statement that recreates it:
    //   <name> = <ClassName>(<inputs>, <plug values>);
    // inputs: the name of each input's upstream node, or 0 when unconnected; plug values:
    // every plug made with addPlug that is neither hidden nor carries kNoSave, in creation
    // order: int and float plugs as numbers, or as the quoted name of the plug they follow;
    // string plugs quoted; pointer plugs as 0. Returns 0, or -1 when the file failed.
    virtual int serialize(PXiFile& file, int flags);
    // Asks whether the current render should stop; the base never does (returns 0).
    virtual int checkInterrupt();
    // Called by the render driver before and after fillOutputBuffer. Return 0.
    virtual int bgnExec();
    virtual int endExec();
    // Writes this node and, before it, every node upstream of it (each once, upstream first).
    virtual int save(PXiFile& file, PXiScope* scope, int flags);
    // Writes the nodes of the selection and what they need, upstream first.
    virtual int saveSelection(PXiFile& file, PXiPArray<PXiNode>* selection);
    // Adds the nodes feeding this one (through its inputs) to the list; returns their count.
    virtual int getSelectionSource(PXiPArray<PXiNode>* sources);
    // Adds every plug made with addPlug and not hidden; returns their count.
    virtual int getPublicPlugs(PXiPArray<PXiPlug>& plugs);
    // Retiming: this host has no time axis, so nothing changes. Returns 0.
    virtual int retimePlugs(float factor);
    virtual PXiIPlug* getInput(int index);
    virtual PXiIPlug* getOutput();
    // Makes child a child of this node, or no longer one (setParent on the child).
    virtual void addChild(PXiNode* child);
    virtual void removeChild(PXiNode* child);
    // Moves the node under a new parent (nullptr: no parent).
    virtual void setParent(PXiNode* parent);
    // The name of the picture a node editor shows for the node; the base gives "node".
    virtual const char* getIconName() const;
    // A new node of the same class made by its plain constructor, or null when the class
    // cannot be made that way (the base).
    virtual PXiNode* instantiate() const;
    virtual const PXiName& className() const;
    // Produces the output samples into the buffers that the render driver has prepared
    // (see PXiNadic). The base does nothing.
    virtual void fillOutputBuffer();
    // Whether the last fillOutputBuffer made the picture asked for; the render driver asks
    // right after each fill. The base always did (kind kNone).
    virtual PXiFillFailure fillFailure() const;

    // Adds a plug of type PXiPlug::kString, kFloat, kInt or kPointer; io 1 for parameters.
    // The two trailing numbers are reserved. Throws PXiError when the node already has a plug
    // of that name or the type is unknown.
    PXiPlug* addPlug(const char* name, int type, int io, int reserved1 = 0, int reserved2 = 0);
    // Adds an image plug (io 1 input, 2 output).
    PXiIPlug* addImagePlug(const char* name, int io);
    // The node's plug of that name (parameters and image plugs), or null.
    PXiPlug* getPlug(const char* name) const;
    PXiPlug* getPlug(const PXiName& name) const;
    // Every plug in creation order.
    const std::vector<std::unique_ptr<PXiPlug>>& getPlugs() const { return m_plugs; }

    static PXiNode* getRoot();
    PXiNode* getParent() const { return m_parent; }
    const std::vector<PXiNode*>& getChildren() const { return m_children; }
    void deleteChildren();

    const PXiName& getName() const { return m_name; }
    void setName(const PXiName& name) { m_name = name; }

private:
    PXiName m_name;
    PXiNode* m_parent = nullptr;
    std::vector<PXiNode*> m_children;
    std::vector<std::unique_ptr<PXiPlug>> m_plugs;
};

// A node with image inputs and one output image plug, named "Result".
class PXiFx : public PXiNode {
public:
    PXiFx();
    ~PXiFx() override;
    // Input image plug i, or null (the base has no inputs).
    PXiIPlug* getInput(int index) override;
    PXiIPlug* getOutput() override;

private:
    PXiIPlug* m_output;
};

// A node with any number of image inputs, rendered by the host's render driver (PXiRender.h):
// the driver evaluates the output's plugs, renders every connected input into a buffer at the
// node's depth, places them in the input buffers (buffer 0 holds input 0's samples, or for a
// node without inputs the background pixel, on entry to fillOutputBuffer and the output on
// return), then calls fillOutputBuffer.
//
// The base eval answers what a derived eval left unanswered, from input 0 where there is one:
// the output's width, height, channels, background pixel; the output's depth from the node's
// depth plug; the description as ClassName(input descriptions...); the node's depth and
// input-depth plugs as the largest depth of the inputs; each input's requested channels as the
// output's requested channels that the input has. Each of these has its dependencies declared
// when inputs are added, so a derived class may detach and redeclare them.
class PXiNadic : public PXiFx {
public:
    PXiNadic();
    ~PXiNadic() override;
    int eval(PXiPlug* plug) override;
    int bgnExec() override;
    PXiIPlug* getInput(int index) override;

    // Adds an image input; inputs keep the order added, which is their index.
    PXiIPlug* addInput(const char* name);
    int getNumInputs() const { return static_cast<int>(m_inputs.size()); }
    // The input image plugs in input order.
    PXiIPlug** getInputs() { return m_inputs.data(); }
    // One buffer per input (at least one), valid during fillOutputBuffer.
    PXiIBuf** getInputBuffers() { return m_buffers.data(); }
    void setInputBuffers(PXiIBuf* const* buffers, int count);  // used by the render driver

    // The node's working depth (bytes per sample) and the largest depth of its inputs.
    PXiPlug* getDepthPlug() const { return m_depth; }
    PXiPlug* getInputDepthPlug() const { return m_inputDepth; }

private:
    std::vector<PXiIPlug*> m_inputs;
    std::vector<PXiIBuf*> m_buffers;
    PXiPlug* m_depth;
    PXiPlug* m_inputDepth;
};
