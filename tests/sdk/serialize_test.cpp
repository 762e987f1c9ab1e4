#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "sdk/base/PXiFile.h"
#include "sdk/image/PXiMemoryImage.h"

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
