#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

// What a plug-in tells the host program about its script commands' arguments, beyond what the
// declarations say: the ranges the command honours, how its arguments are grouped and
// explained, the texts a text argument accepts, and names for the image arguments (which
// declarations may leave unnamed). The host program reads it for named arguments, messages
// and tools that build controls; plug-ins register their commands while they load.
struct PXiCommandArg {
    enum class Kind { Image, Float, Int, Text };

    std::string name;
    Kind kind = Kind::Float;
    // The default as the declaration gives it, without quotes; empty for an image.
    std::string defaultText;
    // The argument whose value the default follows; empty if none.
    std::string follows;
    // The range the command honours; both 0 when it has none (images, texts).
    double minimum = 0.0;
    double maximum = 0.0;
    std::string group;
    // One line. For an image, its role ("garbage matte").
    std::string help;
    // The texts a text argument accepts; empty when it accepts any.
    std::vector<std::string> choices;
    // Further names a call may use for this argument (the node input an image feeds).
    std::vector<std::string> aliases;
    // Whether a text is matched to the choices by its first character, in either case
    // (channel letters), rather than whole and exactly.
    bool choiceByFirstLetter = false;

    // Whether the command takes `text` as one of its choices rather than falling back; true
    // when the argument has no choices.
    bool accepts(const std::string& text) const;
};

struct PXiCommandDescription {
    std::string command;
    std::vector<PXiCommandArg> args;  // in declaration order, images included

    // The argument called `name` or known by it as an alias; null if none.
    const PXiCommandArg* find(const std::string& name) const;
    // Its position in args, or -1.
    int indexOf(const std::string& name) const;
};

// One argument as a plug-in describes it: plain values that it can write in a table. A null
// text stands for none; choices is a null-terminated list or null.
struct PXiCommandArgSpec {
    const char* name;
    PXiCommandArg::Kind kind;
    const char* defaultText;
    const char* follows;
    double minimum;
    double maximum;
    const char* group;
    const char* help;
    const char* const* choices;
    const char* alias;
    bool choiceByFirstLetter;
};

// The process's registry of command descriptions. Safe to use from several threads and from
// static initialisation.
class PXiCommandInfo {
public:
    // Describes `command`, replacing an earlier description of it.
    static void add(const std::string& command, std::vector<PXiCommandArg> args);
    static void add(const char* command, const PXiCommandArgSpec* args, size_t count);
    // The description of `command`; null if none was added.
    static std::shared_ptr<const PXiCommandDescription> find(const std::string& command);
};
