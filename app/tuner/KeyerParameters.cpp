#include "app/tuner/KeyerParameters.h"

namespace pxhost::tuner {
namespace {

using Kind = KeyerParameter::Kind;

// Stand-in until the plug-in describes its arguments itself: the user guide's table.
KeyerCommand makeCommand() {
    KeyerCommand c;
    c.name = "Zephra_1v4";
    c.imageNames = {"fg", "bg", "holdout", "garbage"};
    const auto num = [&](const char* name, const char* plug, const char* def, double lo, double hi,
                         const char* group, const char* help, bool bounded = true) {
        KeyerParameter p;
        p.name = name;
        p.plug = plug;
        p.kind = Kind::Float;
        p.defaultText = def;
        p.followsByDefault = !(def[0] == '-' || (def[0] >= '0' && def[0] <= '9'));
        p.minimum = lo;
        p.maximum = hi;
        p.bounded = bounded;
        p.group = group;
        p.help = help;
        c.parameters.push_back(p);
    };
    const auto text = [&](const char* name, const char* plug, const char* def,
                          std::vector<std::string> accepted, const char* group, const char* help) {
        KeyerParameter p;
        p.name = name;
        p.plug = plug;
        p.kind = Kind::Text;
        p.defaultText = def;
        p.accepted = std::move(accepted);
        p.group = group;
        p.help = help;
        c.parameters.push_back(p);
    };
    const auto flag = [&](const char* name, const char* def, const char* group, const char* help) {
        KeyerParameter p;
        p.name = name;
        p.plug = name;
        p.kind = Kind::Int;
        p.defaultText = def;
        p.group = group;
        p.help = help;
        c.parameters.push_back(p);
    };
    text("output", "output", "composite",
         {"composite", "compOnBlack", "compOnReplace", "unpremultiplied", "status"}, "Output",
         "what the node produces");
    num("rScreen", "rScreen", "0", 0, 1, "Screen", "the screen colour");
    num("gScreen", "gScreen", "0", 0, 1, "Screen", "the screen colour");
    num("bScreen", "bScreen", "0.9", 0, 1, "Screen", "the screen colour");
    num("screenRange", "screenRange", "0", 0, 1, "Screen", "tolerance keyed fully");
    num("rFgBias", "rFgBias", "0.5", 0.001, 1, "Foreground bias", "neutral grey");
    num("gFgBias", "gFgBias", "0.5", 0.001, 1, "Foreground bias", "neutral grey");
    num("bFgBias", "bFgBias", "0.5", 0.001, 1, "Foreground bias", "neutral grey");
    num("shadowBalance", "shadowBalance", "0.5", 0, 1, "Balance", "balance in the shadows");
    num("midtoneBalance", "midtoneBalance", "shadowBalance", 0, 1, "Balance", "midtones");
    num("highlightBalance", "highlightBalance", "shadowBalance", 0, 1, "Balance", "highlights");
    num("shadowGain", "shadowGain", "0", -1, 1, "Gain", "gain in the shadows");
    num("midtoneGain", "midtoneGain", "shadowGain", -1, 1, "Gain", "midtones");
    num("highlightGain", "highlightGain", "shadowGain", -1, 1, "Gain", "highlights");
    num("midTonesAt", "midTonesAt", "0.5", 0, 1, "Balance", "where the midtones sit");
    num("rSpillReplace", "rReplace", "0.5", 0, 1, "Spill replace", "replace colour");
    num("gSpillReplace", "gReplace", "0.5", 0, 1, "Spill replace", "replace colour");
    num("bSpillReplace", "bReplace", "0.5", 0, 1, "Spill replace", "replace colour");
    num("rExposure", "rExposure", "1.0", 0, 4, "Colour correction", "exposure", false);
    num("gExposure", "gExposure", "rExposure", 0, 4, "Colour correction", "exposure", false);
    num("bExposure", "bExposure", "rExposure", 0, 4, "Colour correction", "exposure", false);
    num("rGamma", "rGamma", "1.0", 0.05, 4, "Colour correction", "gamma", false);
    num("gGamma", "gGamma", "rGamma", 0.05, 4, "Colour correction", "gamma", false);
    num("bGamma", "bGamma", "rGamma", 0.05, 4, "Colour correction", "gamma", false);
    num("saturation", "saturation", "1.0", 0, 3, "Colour correction", "saturation");
    text("cspace", "colourspace", "linear", {"linear", "log", "video"}, "Colour space", "encoding");
    flag("useHoldOutMatte", "1", "Mattes", "use the hold-out matte");
    text("holdOutChannel", "holdOutChannel", "A", {"A", "R", "G", "B"}, "Mattes", "channel");
    flag("useGarbageMatte", "1", "Mattes", "use the garbage matte");
    text("garbageChannel", "garbageChannel", "A", {"A", "R", "G", "B"}, "Mattes", "channel");
    flag("bgColor", "0", "Output", "outside colour");
    flag("clipMode", "0", "Output", "output size");
    return c;
}

}  // namespace

const KeyerParameter* KeyerCommand::find(const std::string& parameterName) const {
    for (const KeyerParameter& p : parameters)
        if (p.name == parameterName) return &p;
    return nullptr;
}

const KeyerCommand& keyerCommand() {
    static const KeyerCommand command = makeCommand();
    return command;
}

}  // namespace pxhost::tuner
