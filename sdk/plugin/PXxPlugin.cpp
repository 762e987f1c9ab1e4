#include "sdk/plugin/PXxPlugin.h"

#include <algorithm>
#include <mutex>

namespace {

struct PluginList {
    std::mutex mutex;
    std::vector<PXxPlugin*> plugins;
};

PluginList& pluginList() {
    static PluginList* list = new PluginList;
    return *list;
}

}  // namespace

PXxPlugin::PXxPlugin(const PXiName& name) : m_name(name) {
    PluginList& l = pluginList();
    std::lock_guard<std::mutex> lock(l.mutex);
    l.plugins.push_back(this);
}

PXxPlugin::~PXxPlugin() {
    PluginList& l = pluginList();
    std::lock_guard<std::mutex> lock(l.mutex);
    l.plugins.erase(std::remove(l.plugins.begin(), l.plugins.end(), this), l.plugins.end());
}

std::vector<PXxPlugin*> PXxPlugin::getPlugins() {
    PluginList& l = pluginList();
    std::lock_guard<std::mutex> lock(l.mutex);
    return l.plugins;
}
