#pragma once

#include <string>
#include <vector>

class PXiNode;

// A node's word that its last fill did not make the picture asked for. The node still answers
// every request and fills its output as its own documentation says (a keyer without usable
// tables, for one, leaves the foreground in place); this report, which the render driver
// collects after each fill (PXiNode::fillFailure, PXiRender.h), is what lets a caller refuse
// such a picture without reading any message text.
enum class PXiFillFailureKind {
    kNone = 0,
    kSettings,     // the node's parameters leave it nothing to compute with: a fix is needed
    kOutOfMemory,  // the node could not allocate what it needs; another try may work
};

struct PXiFillFailure {
    PXiFillFailureKind kind = PXiFillFailureKind::kNone;
    int code = 0;        // the node's own result code, as its documentation lists them
    std::string reason;  // for people: what is wrong, in a few words

    bool failed() const { return kind != PXiFillFailureKind::kNone; }
};

// One node's report, as the render driver collected it.
struct PXiNodeFailure {
    PXiNode* node = nullptr;
    PXiFillFailure failure;
};
using PXiNodeFailures = std::vector<PXiNodeFailure>;
