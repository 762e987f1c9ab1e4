#include "app/FileIdentity.h"

#include <sys/stat.h>

#include <filesystem>

namespace pxhost {

FileIdentity identifyFile(const std::string& path) {
    FileIdentity id;
    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
        id.device = st.st_dev;
        id.inode = st.st_ino;
        return id;
    }
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : path.substr(0, slash);
    id.leaf = slash == std::string::npos ? path : path.substr(slash + 1);
    if (stat(folder.c_str(), &st) == 0) {
        id.device = st.st_dev;
        id.inode = st.st_ino;
    } else {
        std::error_code ec;
        id.leaf = std::filesystem::absolute(path, ec).lexically_normal().string();
    }
    return id;
}

}  // namespace pxhost
