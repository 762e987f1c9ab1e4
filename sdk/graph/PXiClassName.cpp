#include "sdk/graph/PXiClassName.h"

#include <mutex>
#include <unordered_map>

namespace {

struct ClassEntry {
    PXiName parent;
    PXiClassName::Factory factory = nullptr;
};

struct Registry {
    std::mutex mutex;
    std::unordered_map<PXiName, ClassEntry> classes;
    std::vector<PXiName> order;

    Registry() {
        add(PXiName::getString("PXiNode"), PXiName());
        add(PXiName::getString("PXiFx"), PXiName::getString("PXiNode"));
        add(PXiName::getString("PXiNadic"), PXiName::getString("PXiFx"));
    }
    ClassEntry& add(const PXiName& cls, const PXiName& parent) {
        auto found = classes.find(cls);
        if (found != classes.end()) return found->second;
        order.push_back(cls);
        ClassEntry& e = classes[cls];
        e.parent = parent;
        return e;
    }
};

// Made on first use (plug-ins register from their static initialisation) and kept for the
// life of the process.
Registry& registry() {
    static Registry* r = new Registry;
    return *r;
}

}  // namespace

PXiName PXiClassName::registerClassName(const char* cls, const char* parent) {
    PXiName name = PXiName::getString(cls);
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.add(name, PXiName::getString(parent));
    return name;
}

void PXiClassName::registerFactory(const PXiName& cls, Factory factory) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.add(cls, PXiName()).factory = factory;
}

bool PXiClassName::isRegistered(const PXiName& cls) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.classes.count(cls) != 0;
}

PXiName PXiClassName::getParent(const PXiName& cls) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto found = r.classes.find(cls);
    return found == r.classes.end() ? PXiName() : found->second.parent;
}

int PXiClassName::isA(const PXiName& cls, const PXiName& ancestor) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    PXiName at = cls;
    // Bounded by the number of classes, so a parent chain that loops cannot hang.
    for (std::size_t steps = 0; steps <= r.classes.size() && !at.empty(); ++steps) {
        if (at == ancestor) return 1;
        auto found = r.classes.find(at);
        if (found == r.classes.end()) return 0;
        at = found->second.parent;
    }
    return 0;
}

PXiNode* PXiClassName::create(const PXiName& cls) {
    Factory factory = nullptr;
    {
        Registry& r = registry();
        std::lock_guard<std::mutex> lock(r.mutex);
        auto found = r.classes.find(cls);
        if (found != r.classes.end()) factory = found->second.factory;
    }
    return factory ? factory() : nullptr;
}

std::vector<PXiName> PXiClassName::list() {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.order;
}
