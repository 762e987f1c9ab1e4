#include "host/ZephraCommandInfo.h"

#include <cstddef>
#include <cstring>
#include <vector>

#include "host/ZephraParams.h"
#include "sdk/script/PXiCommandInfo.h"

namespace {

PXiCommandArg::Kind kindOf(ZephraArgKind kind) {
    switch (kind) {
        case ZephraArgKind::Image:
            return PXiCommandArg::Kind::Image;
        case ZephraArgKind::Int:
            return PXiCommandArg::Kind::Int;
        case ZephraArgKind::Text:
            return PXiCommandArg::Kind::Text;
        case ZephraArgKind::Float:
            break;
    }
    return PXiCommandArg::Kind::Float;
}

// Room for every argument of a command. The descriptions are built in a plain array: the
// library exports no names of its own, and a standard container of the SDK's types would
// export its template code.
constexpr std::size_t kMaxArgs = 48;

void describe(const char* command, const ZephraArg* args, std::size_t count) {
    PXiCommandArgSpec specs[kMaxArgs];
    if (count > kMaxArgs) count = kMaxArgs;
    for (std::size_t i = 0; i < count; ++i) {
        const ZephraArg& a = args[i];
        // An argument may also be called by the plug or input it sets ("rReplace",
        // "colourspace", "HoldOutMatte").
        const char* alias = std::strcmp(a.name, a.plug) != 0 ? a.plug : nullptr;
        specs[i] = {a.name,
                    kindOf(a.kind),
                    a.defaultText,
                    a.follows,
                    a.minimum,
                    a.maximum,
                    a.group,
                    a.help,
                    a.choices,
                    alias,
                    zephraChoiceByFirstLetter(a)};
    }
    PXiCommandInfo::add(command, specs, count);
}

}  // namespace

void describeZephraCommands() {
    describe(kZephraCommand, zephraArgs(), zephraArgCount());
    const std::vector<ZephraArg>& legacy = zephraLegacyArgs();
    describe(kZephraLegacyCommand, legacy.data(), legacy.size());
}
