#include "host/ZephraParams.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <limits>

const char* const kZephraCommand = "Zephra_1v4";
const char* const kZephraLegacyCommand = "Zephra_1v3";

namespace {

constexpr double kNoLimit = std::numeric_limits<double>::infinity();
// The smallest colour fraction the foreground bias takes: the neutral colour divides.
constexpr double kMinimumBias = 0.001;
// The node rounds every float to four decimals before the keyer sees it, so the smallest gamma
// that is not zero is one step of that rounding.
constexpr double kMinimumGamma = 0.0001;
constexpr double kMaximumSaturation = 3.0;

const char* const kOutputNames[] = {"composite",       "compOnBlack", "compOnReplace",
                                    "unpremultiplied", "status",      nullptr};
const char* const kColourSpaces[] = {"linear", "log", "video", nullptr};
// A channel letter is read by its first character, upper-cased; any other selects alpha.
const char* const kChannelLetters[] = {"A", "R", "G", "B", nullptr};

using K = ZephraArgKind;

// clang-format off
const ZephraArg kArgs[] = {
  // name, plug, kind, default, follows, minimum, maximum, group, help, choices, followsPlug, endsLine
  {"fg", "Fg", K::Image, nullptr, nullptr, 0, 0, "Images", "foreground", nullptr, false, false},
  {"bg", "Bg", K::Image, nullptr, nullptr, 0, 0, "Images", "background plate", nullptr, false, false},
  {"holdout", "HoldOutMatte", K::Image, nullptr, nullptr, 0, 0, "Images", "hold-out matte", nullptr, false, false},
  {"garbage", "GarbageMatte", K::Image, nullptr, nullptr, 0, 0, "Images", "garbage matte", nullptr, false, false},
  {"output", "output", K::Text, "composite", nullptr, 0, 0, "Output",
   "what the node produces: a composite, the unpremultiplied foreground or a status picture", kOutputNames, false, true},
  {"rScreen", "rScreen", K::Float, "0.0", nullptr, 0, 1, "Screen",
   "red of the screen colour, picked where the screen is darkest", nullptr, false, false},
  {"gScreen", "gScreen", K::Float, "0.0", nullptr, 0, 1, "Screen",
   "green of the screen colour, picked where the screen is darkest", nullptr, false, false},
  {"bScreen", "bScreen", K::Float, "0.9", nullptr, 0, 1, "Screen",
   "blue of the screen colour, picked where the screen is darkest", nullptr, false, true},
  {"screenRange", "screenRange", K::Float, "0.0", nullptr, 0, 1, "Screen",
   "tolerance around the screen colour that keys fully; cleans up grain in the screen", nullptr, false, true},
  {"rFgBias", "rFgBias", K::Float, "0.5", nullptr, kMinimumBias, 1, "Balance",
   "red of the colour treated as neutral grey in the foreground", nullptr, false, false},
  {"gFgBias", "gFgBias", K::Float, "0.5", nullptr, kMinimumBias, 1, "Balance",
   "green of the colour treated as neutral grey in the foreground", nullptr, false, false},
  {"bFgBias", "bFgBias", K::Float, "0.5", nullptr, kMinimumBias, 1, "Balance",
   "blue of the colour treated as neutral grey in the foreground", nullptr, false, true},
  {"shadowBalance", "shadowBalance", K::Float, "0.5", nullptr, 0, 1, "Balance",
   "shadows: the screen's strongest channel against the weakest (0) or middle (1) other one", nullptr, false, false},
  {"midtoneBalance", "midtoneBalance", K::Float, "shadowBalance", "shadowBalance", 0, 1, "Balance",
   "the same balance for the midtones", nullptr, true, true},
  {"highlightBalance", "highlightBalance", K::Float, "shadowBalance", "shadowBalance", 0, 1, "Balance",
   "the same balance for the highlights", nullptr, true, true},
  {"shadowGain", "shadowGain", K::Float, "0", nullptr, -1, 1, "Balance",
   "more (positive) or less (negative) of the shadows keyed away", nullptr, false, false},
  {"midtoneGain", "midtoneGain", K::Float, "shadowGain", "shadowGain", -1, 1, "Balance",
   "the same gain for the midtones", nullptr, true, true},
  {"highlightGain", "highlightGain", K::Float, "shadowGain", "shadowGain", -1, 1, "Balance",
   "the same gain for the highlights", nullptr, true, true},
  {"midTonesAt", "midTonesAt", K::Float, "0.5", nullptr, 0, 1, "Balance",
   "where the midtones sit between shadows and highlights", nullptr, false, true},
  {"rSpillReplace", "rReplace", K::Float, "0.5", nullptr, 0, 1, "Spill",
   "red of the colour replacing the screen under the hold-out matte", nullptr, false, false},
  {"gSpillReplace", "gReplace", K::Float, "0.5", nullptr, 0, 1, "Spill",
   "green of the colour replacing the screen under the hold-out matte", nullptr, false, false},
  {"bSpillReplace", "bReplace", K::Float, "0.5", nullptr, 0, 1, "Spill",
   "blue of the colour replacing the screen under the hold-out matte", nullptr, false, true},
  {"rExposure", "rExposure", K::Float, "1.0", nullptr, 0, kNoLimit, "Colour",
   "multiplies the keyed foreground's red", nullptr, false, false},
  {"gExposure", "gExposure", K::Float, "rExposure", "rExposure", 0, kNoLimit, "Colour",
   "multiplies the keyed foreground's green", nullptr, false, false},
  {"bExposure", "bExposure", K::Float, "rExposure", "rExposure", 0, kNoLimit, "Colour",
   "multiplies the keyed foreground's blue", nullptr, false, true},
  {"rGamma", "rGamma", K::Float, "1.0", nullptr, kMinimumGamma, kNoLimit, "Colour",
   "gamma of the keyed foreground's red", nullptr, false, false},
  {"gGamma", "gGamma", K::Float, "rGamma", "rGamma", kMinimumGamma, kNoLimit, "Colour",
   "gamma of the keyed foreground's green", nullptr, false, false},
  {"bGamma", "bGamma", K::Float, "rGamma", "rGamma", kMinimumGamma, kNoLimit, "Colour",
   "gamma of the keyed foreground's blue", nullptr, false, true},
  {"saturation", "saturation", K::Float, "1.0", nullptr, 0, kMaximumSaturation, "Colour",
   "saturation of the keyed foreground: 0 grey, 1 unchanged", nullptr, false, true},
  {"cspace", "colourspace", K::Text, "linear", nullptr, 0, 0, "Colour",
   "how samples and colours are encoded", kColourSpaces, false, true},
  {"useHoldOutMatte", "useHoldOutMatte", K::Int, "1", nullptr, 0, 1, "Mattes",
   "use the hold-out matte when one is connected", nullptr, false, false},
  {"holdOutChannel", "holdOutChannel", K::Text, "A", nullptr, 0, 0, "Mattes",
   "which channel of the hold-out matte is used", kChannelLetters, false, true},
  {"useGarbageMatte", "useGarbageMatte", K::Int, "1", nullptr, 0, 1, "Mattes",
   "use the garbage matte when one is connected", nullptr, false, false},
  {"garbageChannel", "garbageChannel", K::Text, "A", nullptr, 0, 0, "Mattes",
   "which channel of the garbage matte is used", kChannelLetters, false, true},
  {"bgColor", "bgColor", K::Int, "0", nullptr, 0, 1, "Output",
   "colour outside the picture: 0 the foreground's, 1 the keyed inputs' outside colours", nullptr, false, false},
  {"clipMode", "clipMode", K::Int, "0", nullptr, 0, 1, "Output",
   "output size: 0 the foreground's, 1 the background plate's", nullptr, false, false},
};
// clang-format on

constexpr std::size_t kArgCount = sizeof(kArgs) / sizeof(kArgs[0]);
static_assert(kArgCount == 36, "Zephra_1v4 declares four images and 32 parameters");

bool named(const ZephraArg& a, const char* name) { return std::strcmp(a.name, name) == 0; }

std::vector<ZephraArg> makeLegacyArgs() {
    // The background comes first, then the foreground and the hold-out matte.
    std::vector<ZephraArg> args = {*zephraFindArg("bg"), *zephraFindArg("fg"),
                                   *zephraFindArg("holdout")};
    for (const ZephraArg& a : kArgs) {
        if (a.kind == K::Image) continue;
        if (named(a, "useGarbageMatte") || named(a, "garbageChannel")) continue;
        args.push_back(a);
        if (named(a, "midTonesAt")) args.back().name = "modTonesAt";
    }
    return args;
}

const char* typeWord(ZephraArgKind kind) {
    switch (kind) {
        case K::Float:
            return "float";
        case K::Int:
            return "int";
        case K::Text:
            return "string";
        case K::Image:
            break;
    }
    return "image";
}

}  // namespace

const ZephraArg* zephraArgs() { return kArgs; }
std::size_t zephraArgCount() { return kArgCount; }

const std::vector<ZephraArg>& zephraLegacyArgs() {
    static const std::vector<ZephraArg> args = makeLegacyArgs();
    return args;
}

const ZephraArg* zephraFindArg(const std::string& name) {
    for (const ZephraArg& a : kArgs)
        if (name == a.name) return &a;
    return nullptr;
}

const ZephraArg* zephraFindPlug(const std::string& plug) {
    for (const ZephraArg& a : kArgs)
        if (plug == a.plug) return &a;
    return nullptr;
}

int zephraInputIndex(const ZephraArg& arg) {
    if (arg.kind != K::Image) return -1;
    // The node adds its inputs in the order Zephra_1v4 declares its images.
    int index = 0;
    for (const ZephraArg& a : kArgs) {
        if (a.kind != K::Image) continue;
        if (std::strcmp(a.plug, arg.plug) == 0) return index;
        ++index;
    }
    return -1;
}

double zephraDefaultValue(const ZephraArg& arg) {
    if (arg.kind != K::Float && arg.kind != K::Int) return 0.0;
    if (arg.follows) return zephraDefaultValue(*zephraFindArg(arg.follows));
    return std::strtod(arg.defaultText, nullptr);
}

bool zephraChoiceByFirstLetter(const ZephraArg& arg) { return arg.choices == kChannelLetters; }

bool zephraAcceptsText(const ZephraArg& arg, const char* text) {
    if (!arg.choices) return true;
    if (!text) return false;
    if (zephraChoiceByFirstLetter(arg)) {
        char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
        for (const char* const* c = arg.choices; *c; ++c)
            if ((*c)[0] == letter) return true;
        return false;
    }
    for (const char* const* c = arg.choices; *c; ++c)
        if (std::strcmp(*c, text) == 0) return true;
    return false;
}

std::string zephraDeclaration(const char* command, const std::vector<ZephraArg>& args) {
    std::string text = std::string("extern image ") + command + "(";
    bool first = true;
    for (const ZephraArg& a : args) {
        if (a.kind != K::Image) continue;
        text += first ? "image" : ", image";
        first = false;
    }
    const char* separator = ",\n\t";
    for (const ZephraArg& a : args) {
        if (a.kind == K::Image) continue;
        text += separator;
        text += std::string(typeWord(a.kind)) + " " + a.name + " = ";
        bool quoted = a.kind == K::Text || (a.follows && a.followsPlug);
        text += quoted ? "\"" + std::string(a.defaultText) + "\"" : std::string(a.defaultText);
        separator = a.endsLine ? ",\n\t" : ", ";
    }
    return text + ");\n";
}

const std::string& zephraDeclarations() {
    static const std::string text =
        zephraDeclaration(kZephraCommand, std::vector<ZephraArg>(kArgs, kArgs + kArgCount)) +
        zephraDeclaration(kZephraLegacyCommand, zephraLegacyArgs());
    return text;
}
