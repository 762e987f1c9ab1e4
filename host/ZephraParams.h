#pragma once

// The keyer's arguments, written once: what the script commands declare, which plug or input
// each one sets, their defaults, the ranges the keyer honours, and how the user guide groups
// and explains them. The commands, the node, the plug-in's description of its commands to the
// host program and the Python module all read this table. Standard C++ only.

#include <cstddef>
#include <string>
#include <vector>

enum class ZephraArgKind { Image, Float, Int, Text };

struct ZephraArg {
    // The argument's name: as declared for the parameters ("rSpillReplace", "cspace"); for the
    // images, which the declarations leave unnamed, "fg", "bg", "holdout", "garbage".
    const char* name;
    // The plug it sets ("rReplace", "colourspace"); for an image, the node input it feeds.
    const char* plug;
    ZephraArgKind kind;
    // The default as the declaration gives it, without quotes; null for images. A default
    // that follows another argument names that argument.
    const char* defaultText;
    // The argument whose value the default follows, or null.
    const char* follows;
    // The range the keyer honours: values outside it act as the nearer end (for ints: 0 off,
    // anything else on; clipMode 2 or more acts as 1). Exposure has no upper end, gamma none
    // either, and a gamma below the keyer's rounding step is no gamma at all.
    double minimum;
    double maximum;
    // Where the user guide puts it: "Images", "Screen", "Balance", "Spill", "Colour",
    // "Mattes", "Output".
    const char* group;
    // One line. For an image, its role as messages name it ("garbage matte").
    const char* help;
    // The texts a text argument accepts (null-terminated); null for other arguments. Any other
    // text makes the keyer fall back (see fallback()).
    const char* const* choices;
    // How a default that follows another argument follows it: true when the declaration quotes
    // the name, so the plug holds that plug's name and keeps following it; false when the name
    // is bare, so the call copies the text given for that argument.
    bool followsPlug;
    // Whether the declaration breaks its line after this argument.
    bool endsLine;
};

// Zephra_1v4's 36 arguments, in declaration order: the four images, then the 32 parameters,
// which are also the node's parameter plugs in creation order.
const ZephraArg* zephraArgs();
std::size_t zephraArgCount();

// Zephra_1v3's 33 arguments in declaration order. It differs from Zephra_1v4 in three ways:
// no garbage matte (image and parameters), midTonesAt is declared "modTonesAt", and its
// first image is the background.
const std::vector<ZephraArg>& zephraLegacyArgs();

// The command names.
extern const char* const kZephraCommand;        // "Zephra_1v4"
extern const char* const kZephraLegacyCommand;  // "Zephra_1v3"

// The argument of Zephra_1v4 named `name`, or the one setting plug `name`; null if none.
const ZephraArg* zephraFindArg(const std::string& name);
const ZephraArg* zephraFindPlug(const std::string& plug);

// The node input index an image argument feeds (Fg 0, Bg 1, HoldOutMatte 2, GarbageMatte 3);
// -1 for a parameter.
int zephraInputIndex(const ZephraArg& arg);

// A parameter's default as a number, following the argument it follows; for a text argument
// 0.
double zephraDefaultValue(const ZephraArg& arg);

// Whether the keyer takes `text` as one of the values a text argument names, rather than as
// its fallback: output names and colour spaces exactly as listed; channel letters by the first
// character, upper-cased. True for arguments without choices.
bool zephraAcceptsText(const ZephraArg& arg, const char* text);

// Whether a text argument's choices are matched by their first character in either case
// (channel letters) rather than whole.
bool zephraChoiceByFirstLetter(const ZephraArg& arg);

// The declaration of a command with these arguments, as the plug-in compiles it.
std::string zephraDeclaration(const char* command, const std::vector<ZephraArg>& args);
// Both declarations, Zephra_1v4 then Zephra_1v3.
const std::string& zephraDeclarations();
