#pragma once

#include <vector>

#include "sdk/base/PXiName.h"

// Base of a plug-in's global object. Keeps the plug-in's name and a status word, 0 when all
// is well (a plug-in stores there what compiling its declarations returned). Every live
// plug-in object is listed (getPlugins), so the host can report the status of each by name.
class PXxPlugin {
public:
    explicit PXxPlugin(const PXiName& name);
    virtual ~PXxPlugin();
    PXxPlugin(const PXxPlugin&) = delete;
    PXxPlugin& operator=(const PXxPlugin&) = delete;

    const PXiName& getName() const { return m_name; }
    int getStatus() const { return m_status; }

    // The live plug-in objects, in order of construction.
    static std::vector<PXxPlugin*> getPlugins();

protected:
    PXiName m_name;
    int m_status = 0;
};
