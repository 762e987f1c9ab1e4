#include "sdk/script/PXiCommandInfo.h"

#include <cctype>
#include <map>
#include <mutex>
#include <utility>

namespace {

struct Registry {
    std::mutex mutex;
    std::map<std::string, std::shared_ptr<const PXiCommandDescription>> commands;
};

// Made on first use, so plug-ins may register from their static initialisation, and never
// destroyed, so they may still look up while they are unloaded.
Registry& registry() {
    static Registry* r = new Registry();
    return *r;
}

}  // namespace

bool PXiCommandArg::accepts(const std::string& text) const {
    if (choices.empty()) return true;
    for (const std::string& c : choices) {
        if (!choiceByFirstLetter && c == text) return true;
        if (choiceByFirstLetter && !text.empty() && !c.empty() &&
            std::toupper(static_cast<unsigned char>(text[0])) ==
                std::toupper(static_cast<unsigned char>(c[0])))
            return true;
    }
    return false;
}

const PXiCommandArg* PXiCommandDescription::find(const std::string& name) const {
    int i = indexOf(name);
    return i < 0 ? nullptr : &args[static_cast<size_t>(i)];
}

int PXiCommandDescription::indexOf(const std::string& name) const {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i].name == name) return static_cast<int>(i);
        for (const std::string& alias : args[i].aliases)
            if (alias == name) return static_cast<int>(i);
    }
    return -1;
}

void PXiCommandInfo::add(const std::string& command, std::vector<PXiCommandArg> args) {
    auto description = std::make_shared<PXiCommandDescription>();
    description->command = command;
    description->args = std::move(args);
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.commands[command] = std::move(description);
}

void PXiCommandInfo::add(const char* command, const PXiCommandArgSpec* args, size_t count) {
    auto text = [](const char* t) { return std::string(t ? t : ""); };
    std::vector<PXiCommandArg> described;
    for (size_t i = 0; i < count; ++i) {
        const PXiCommandArgSpec& s = args[i];
        PXiCommandArg a;
        a.name = text(s.name);
        a.kind = s.kind;
        a.defaultText = text(s.defaultText);
        a.follows = text(s.follows);
        a.minimum = s.minimum;
        a.maximum = s.maximum;
        a.group = text(s.group);
        a.help = text(s.help);
        for (const char* const* c = s.choices; c && *c; ++c) a.choices.push_back(*c);
        if (s.alias) a.aliases.push_back(s.alias);
        a.choiceByFirstLetter = s.choiceByFirstLetter;
        described.push_back(std::move(a));
    }
    add(text(command), std::move(described));
}

std::shared_ptr<const PXiCommandDescription> PXiCommandInfo::find(const std::string& command) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto it = r.commands.find(command);
    return it == r.commands.end() ? nullptr : it->second;
}
