#pragma once
// What the tuner knows of the keyer command's arguments, as the loaded plug-in describes them
// through the SDK: names, kinds, defaults, ranges, groups, help lines and accepted texts.

#include <string>
#include <vector>

namespace pxhost::tuner {

struct KeyerParameter {
    enum class Kind { Float, Int, Text };
    std::string name;  // the argument's name in a script
    std::string plug;  // the keyer node's plug that the argument sets
    Kind kind = Kind::Float;
    std::string defaultText;        // a number, a text, or the name of the parameter it follows
    bool followsByDefault = false;  // defaultText names another parameter
    double minimum = 0;
    double maximum = 1;
    bool bounded = true;  // false: no upper limit
    std::string group;
    std::string help;
    std::vector<std::string> accepted;  // Kind::Text: the texts allowed (empty: any)
};

struct KeyerCommand {
    std::string name;                     // the script command
    std::vector<std::string> imageNames;  // its image arguments in order
    std::vector<KeyerParameter> parameters;

    // The parameter of that name, or null.
    const KeyerParameter* find(const std::string& parameterName) const;
};

// The keyer command as the loaded plug-in describes it. Throws UsageError when no loaded
// plug-in describes it. Call after the plug-ins are loaded.
const KeyerCommand& keyerCommand();

}  // namespace pxhost::tuner
