#pragma once
// Where an installed program finds its plug-ins: `cmake --install` puts the program into
// PREFIX/bin and the plug-in and SDK libraries into a library folder of the prefix
// (cmake/Install.cmake, which also defines the folder for this header), so the program looks
// there relative to its own folder wherever the prefix is.

namespace pxhost {

constexpr const char* kInstalledPluginFolder = PXZ_INSTALLED_PLUGIN_FOLDER;

}  // namespace pxhost
