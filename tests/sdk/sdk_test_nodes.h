#pragma once

#include <map>
#include <string>

#include "sdk/graph/PXiNode.h"

// A node with three number plugs a, b, sum and one text plug; sum is computed from a and b by
// eval, which counts how often it runs for each plug.
class CountingNode : public PXiNode {
public:
    CountingNode() {
        a = addPlug("a", PXiPlug::kFloat, 1);
        b = addPlug("b", PXiPlug::kFloat, 1);
        sum = addPlug("sum", PXiPlug::kFloat, 1);
        twice = addPlug("twice", PXiPlug::kFloat, 1);
        label = addPlug("label", PXiPlug::kString, 1);
        count = addPlug("count", PXiPlug::kInt, 1);
        sum->addDependencies(a, b, nullptr);
        twice->addDependency(sum);
    }
    int eval(PXiPlug* plug) override {
        ++evals[plug->getName().c_str()];
        if (plug == sum) sum->set(a->asFloat() + b->asFloat());
        if (plug == twice) twice->set(2 * sum->asFloat());
        return PXiNode::eval(plug);
    }
    void notify(PXiPlug* plug) override {
        ++notified[plug->getName().c_str()];
        PXiNode::notify(plug);
    }
    int evalsOf(const char* name) { return evals[name]; }

    PXiPlug *a, *b, *sum, *twice, *label, *count;
    std::map<std::string, int> evals, notified;
};
