#include <gtest/gtest.h>
#include <cfloat>
#include <climits>

#include <memory>
#include <sstream>
#include <string>

#include "sdk/base/PXiError.h"
#include "sdk/base/PXiFile.h"
#include "sdk/image/PXiMemoryImage.h"
#include "sdk_test_nodes.h"

// Dependency propagation and lazy evaluation.
class PlugGraph : public ::testing::Test {
protected:
    CountingNode node;
};

TEST_F(PlugGraph, ReadingAnInvalidPlugEvaluatesItOncePerInvalidation) {
    node.a->set(1.0f);
    node.b->set(2.0f);
    EXPECT_FALSE(node.sum->isValid());
    EXPECT_FALSE(node.twice->isValid());  // transitively
    EXPECT_FLOAT_EQ(node.twice->asFloat(), 6.0f);
    EXPECT_EQ(node.evalsOf("sum"), 1);
    EXPECT_EQ(node.evalsOf("twice"), 1);
    for (int i = 0; i < 3; ++i) EXPECT_FLOAT_EQ(node.sum->asFloat(), 3.0f);
    EXPECT_EQ(node.evalsOf("sum"), 1);

    node.a->set(5.0f);  // invalidates sum and, through it, twice
    EXPECT_FALSE(node.twice->isValid());
    EXPECT_FLOAT_EQ(node.twice->asFloat(), 14.0f);
    EXPECT_EQ(node.evalsOf("sum"), 2);
    EXPECT_EQ(node.evalsOf("twice"), 2);
    EXPECT_EQ(node.evalsOf("a"), 0);  // set plugs are never evaluated
}

TEST_F(PlugGraph, SettingNotifiesTheNodeButAnsweringEvalDoesNot) {
    node.a->set(1);
    node.label->set("x");
    node.sum->asFloat();
    EXPECT_EQ(node.notified["a"], 1);
    EXPECT_EQ(node.notified["label"], 1);
    EXPECT_EQ(node.notified["sum"], 0);
    node.sum->setFlag(PXiPlug::kNotify, 1);
    node.b->set(1);
    node.sum->asFloat();
    EXPECT_EQ(node.notified["sum"], 1);
}

TEST_F(PlugGraph, ChainsPropagateAndDependenciesCanBeRemoved) {
    // A chain of ten computed plugs across the dependency lists.
    CountingNode other;
    std::vector<PXiPlug*> chain{node.count};
    for (int i = 0; i < 10; ++i) {
        PXiPlug* p = other.addPlug(("c" + std::to_string(i)).c_str(), PXiPlug::kInt, 1);
        p->addDependency(chain.back());
        chain.push_back(p);
    }
    for (PXiPlug* p : chain) p->asInt();
    for (PXiPlug* p : chain) EXPECT_TRUE(p->isValid());
    node.count->set(3);
    for (size_t i = 1; i < chain.size(); ++i) EXPECT_FALSE(chain[i]->isValid()) << i;
    EXPECT_TRUE(chain.back()->hasDependency(node.count, 1));
    EXPECT_FALSE(chain.back()->hasDependency(node.count, 0));

    chain[5]->removeDependency(chain[4]);
    for (PXiPlug* p : chain) p->asInt();
    node.count->set(4);
    EXPECT_FALSE(chain[4]->isValid());
    EXPECT_TRUE(chain[5]->isValid());
    EXPECT_FALSE(chain.back()->hasDependency(node.count, 1));

    // Declaring a dependency makes the plug and its dependents stale at once.
    for (PXiPlug* p : chain) p->asInt();
    chain[5]->addDependency(chain[4]);
    EXPECT_FALSE(chain[5]->isValid());
    EXPECT_FALSE(chain.back()->isValid());
}

TEST_F(PlugGraph, DependencyCyclesNeitherHangNorRecurse) {
    PXiPlug* x = node.addPlug("x", PXiPlug::kInt, 1);
    PXiPlug* y = node.addPlug("y", PXiPlug::kInt, 1);
    x->addDependency(y);
    y->addDependency(x);
    x->set(1);
    EXPECT_FALSE(y->isValid());
    EXPECT_EQ(y->asInt(), 0);
    EXPECT_EQ(x->asInt(), 1);
}

TEST_F(PlugGraph, UnsetMakesThePlugInvalidUntilEvaluated) {
    node.count->set(7);
    node.count->unset();
    EXPECT_FALSE(node.count->isValid());
    EXPECT_EQ(node.count->asInt(), 0);
    EXPECT_EQ(node.evalsOf("count"), 1);
    EXPECT_TRUE(node.count->isValid());
}

TEST_F(PlugGraph, DetachWithNullHandsThePlugToEvalAndNewDependencies) {
    node.sum->detach(nullptr);
    EXPECT_FALSE(node.sum->hasDependency(node.a, 0));
    node.sum->addDependency(node.label);
    node.sum->asFloat();
    node.a->set(9.0f);
    EXPECT_TRUE(node.sum->isValid());
    node.label->set("changed");
    EXPECT_FALSE(node.sum->isValid());
}

// Values and conversions between plug types.
TEST(PlugValues, TextAndNumbersConvertPredictably) {
    CountingNode node;
    struct Case {
        PXiPlug* plug;
        const char* text;
        int asInt;
        float asFloat;
        const char* asString;
    } cases[] = {
        {node.a, "0.9", 1, 0.9f, "0.9"},
        {node.a, " -2.5 ", -3, -2.5f, "-2.5"},
        {node.a, "1e-3", 0, 0.001f, "0.001"},
        {node.count, "2.5", 3, 3.0f, "3"},
        {node.count, "-7", -7, -7.0f, "-7"},
        {node.label, "0.25", 0, 0.25f, "0.25"},
        {node.label, "hello", 0, 0.0f, "hello"},
        // Beyond the range of a double or a float: the nearest limit, never 0.
        {node.a, "1e400", INT_MAX, FLT_MAX, "3.4028235e+38"},
        {node.a, "-1e400", INT_MIN, -FLT_MAX, "-3.4028235e+38"},
        {node.a, "1e39", INT_MAX, FLT_MAX, "3.4028235e+38"},
        {node.a, "1e-400", 0, 0.0f, "0"},
        {node.count, "1e400", INT_MAX, float(INT_MAX), "2147483647"},
    };
    for (const Case& c : cases) {
        c.plug->set(c.text);
        EXPECT_EQ(c.plug->asInt(), c.asInt) << c.text;
        EXPECT_FLOAT_EQ(c.plug->asFloat(), c.asFloat) << c.text;
        EXPECT_STREQ(c.plug->asString().c_str(), c.asString) << c.text;
    }
    node.label->set(0.1f);
    EXPECT_STREQ(node.label->asString().c_str(), "0.1");
    EXPECT_THROW(node.a->set(static_cast<void*>(nullptr)), PXiError);
    PXiPlug* ptr = node.addPlug("ptr", PXiPlug::kPointer, 1);
    int target = 0;
    ptr->set(static_cast<void*>(&target));
    EXPECT_EQ(ptr->asVoid(), &target);
    EXPECT_THROW(ptr->set(1), PXiError);
    EXPECT_THROW(node.addPlug("a", PXiPlug::kInt, 1), PXiError);
}

// Expressions: a float or int plug set to the name of another plug follows it.
TEST(PlugExpressions, AFollowingPlugTracksItsTargetAndKeepsItsText) {
    CountingNode node;
    node.a->set(0.3f);
    node.b->set("a");
    EXPECT_FLOAT_EQ(node.b->asFloat(), 0.3f);
    EXPECT_STREQ(node.b->asString().c_str(), "a");
    EXPECT_EQ(node.b->getExpression(), PXiName::getString("a"));
    EXPECT_FLOAT_EQ(node.sum->asFloat(), 0.6f);

    node.a->set(2.0f);  // b follows, and sum depends on b
    EXPECT_FALSE(node.b->isValid());
    EXPECT_FALSE(node.sum->isValid());
    EXPECT_FLOAT_EQ(node.sum->asFloat(), 4.0f);

    node.count->set("b");  // chains: count -> b -> a, int rounding of the float
    node.a->set(2.6f);
    EXPECT_EQ(node.count->asInt(), 3);

    node.b->set("1.5");  // a number ends the following
    node.a->set(10.0f);
    EXPECT_FLOAT_EQ(node.b->asFloat(), 1.5f);
    EXPECT_TRUE(node.b->getExpression().empty());
}

TEST(PlugExpressions, BadNamesAndCyclesThrowAndLeaveThePlugAsItWas) {
    struct Case {
        const char* plug;
        const char* text;
        const char* messagePart;
    } cases[] = {
        {"a", "nosuch", "'nosuch' is neither a number nor a plug of the node"},
        {"a", "label", "'label' is a string plug, not a number"},
        {"a", "", "neither a number nor a plug"},
        {"a", "a", "cycle"},
        {"a", "b", "cycle"},      // b follows a below
        {"count", "b", "cycle"},  // count -> b -> a -> count
        {"a", "inf", "neither a number"},
    };
    for (const Case& c : cases) {
        CountingNode node;
        node.b->set("a");
        node.a->set("count");
        node.count->set(4);
        PXiPlug* p = node.getPlug(c.plug);
        const std::string before = p->asString().c_str();
        try {
            p->set(c.text);
            ADD_FAILURE() << "no error for " << c.plug << " = '" << c.text << "'";
        } catch (const PXiError& e) {
            EXPECT_NE(std::string(e.what()).find(c.messagePart), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.plug), std::string::npos) << e.what();
        }
        EXPECT_EQ(before, p->asString().c_str()) << c.plug << " = " << c.text;
        EXPECT_FLOAT_EQ(node.b->asFloat(), 4.0f);
    }
}

TEST(PlugConnections, UpstreamValuesFlowAndDeletingTheUpstreamDisconnects) {
    CountingNode down;
    auto up = std::make_unique<CountingNode>();
    up->a->set(1.0f);
    up->b->set(1.0f);
    down.a->connect(up->sum);
    EXPECT_TRUE(down.a->isConnected());
    EXPECT_FLOAT_EQ(down.sum->asFloat(), 2.0f);
    up->b->set(5.0f);
    EXPECT_FALSE(down.sum->isValid());
    EXPECT_FLOAT_EQ(down.sum->asFloat(), 6.0f);
    EXPECT_THROW(up->a->connect(down.a), PXiError);  // would close a cycle
    up.reset();
    EXPECT_FALSE(down.a->isConnected());
    EXPECT_FALSE(down.sum->isValid());
    down.sum->asFloat();  // no dangling reads
    down.a->set(1.0f);
    EXPECT_FLOAT_EQ(down.sum->asFloat(), 1.0f);
}

namespace {

// A node whose plugs cover every kind of value a saved script holds.
class SavedNode : public PXiNadic {
public:
    SavedNode() {
        addInput("Fg");
        addInput("Bg");
        credit = addPlug("SavedNode", PXiPlug::kString, 1);
        gain = addPlug("gain", PXiPlug::kFloat, 1);
        other = addPlug("other", PXiPlug::kFloat, 1);
        mode = addPlug("mode", PXiPlug::kInt, 1);
        label = addPlug("label", PXiPlug::kString, 1);
    }
    const PXiName& className() const override {
        static const PXiName name = PXiName::getString("Saved_1v0");
        return name;
    }
    PXiPlug *credit, *gain, *other, *mode, *label;
};

}  // namespace

TEST(Serialize, WritesAScriptCallWithInputsAndPlugValuesInCreationOrder) {
    PXiMemoryImage plate(2, 2, 1);
    plate.setName(PXiName::getString("plate"));
    SavedNode node;
    node.setName(PXiName::getString("keyed"));
    node.getInput(1)->connect(plate.getOutput());
    node.credit->set("made by us");
    node.credit->setFlag(PXiPlug::kNoSave, 1);
    node.gain->set(0.9f);
    node.other->set("gain");
    node.mode->set(-3);
    node.label->set("say \"hi\"\\\n");
    PXiFile file;
    EXPECT_EQ(node.serialize(file, 0), 0);
    EXPECT_EQ(file.str(),
              "keyed = Saved_1v0(0, plate, 0.9, \"gain\", -3, \"say \\\"hi\\\"\\\\\\n\");\n");

    node.credit->setFlag(PXiPlug::kNoSave, 0);
    std::ostringstream stream;
    PXiFile streamed(stream);
    EXPECT_EQ(node.save(streamed, nullptr, 0), 0);  // upstream first
    const std::string text = stream.str();
    EXPECT_EQ(text.find("plate = PXiMemoryImage("), 0u) << text;
    EXPECT_NE(text.find("keyed = Saved_1v0(0, plate, \"made by us\", 0.9,"), std::string::npos)
        << text;
}
