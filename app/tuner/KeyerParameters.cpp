#include "app/tuner/KeyerParameters.h"

#include <cmath>

#include "app/HostError.h"
#include "sdk/script/PXiCommandInfo.h"

namespace pxhost::tuner {
namespace {

constexpr const char* kKeyerCommand = "Zephra_1v4";

KeyerCommand describe(const PXiCommandDescription& description) {
    KeyerCommand command;
    command.name = description.command;
    for (const PXiCommandArg& arg : description.args) {
        if (arg.kind == PXiCommandArg::Kind::Image) {
            command.imageNames.push_back(arg.name);
            continue;
        }
        KeyerParameter p;
        p.name = arg.name;
        // The one alias of a value argument is the plug it sets, where that is named otherwise.
        p.plug = arg.aliases.empty() ? arg.name : arg.aliases.front();
        p.kind = arg.kind == PXiCommandArg::Kind::Int    ? KeyerParameter::Kind::Int
                 : arg.kind == PXiCommandArg::Kind::Text ? KeyerParameter::Kind::Text
                                                         : KeyerParameter::Kind::Float;
        p.followsByDefault = !arg.follows.empty();
        p.defaultText = p.followsByDefault ? arg.follows : arg.defaultText;
        p.minimum = arg.minimum;
        p.maximum = arg.maximum;
        p.bounded = std::isfinite(arg.maximum);
        p.group = arg.group;
        p.help = arg.help;
        p.accepted = arg.choices;
        command.parameters.push_back(p);
    }
    return command;
}

}  // namespace

const KeyerParameter* KeyerCommand::find(const std::string& parameterName) const {
    for (const KeyerParameter& p : parameters)
        if (p.name == parameterName) return &p;
    return nullptr;
}

const KeyerCommand& keyerCommand() {
    static const KeyerCommand command = [] {
        const auto description = PXiCommandInfo::find(kKeyerCommand);
        if (!description)
            throw UsageError(std::string("the keyer plug-in is not loaded (no ") + kKeyerCommand +
                             " command)");
        return describe(*description);
    }();
    return command;
}

}  // namespace pxhost::tuner
