#pragma once
// Which file a name reaches, whatever its spelling: "o.png", "./o.png", "sub/../o.png", an
// absolute name, a symbolic or hard link, or another mount of the same folder all reach the
// same file. A file that exists is known by its device and inode; one that does not exist yet
// by its folder's device and inode and its own name in that folder.

#include <sys/types.h>

#include <string>
#include <tuple>

namespace pxhost {

struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    std::string leaf;  // empty for a file that exists; else its name in the folder

    bool operator<(const FileIdentity& o) const {
        return std::tie(device, inode, leaf) < std::tie(o.device, o.inode, o.leaf);
    }
    bool operator==(const FileIdentity& o) const {
        return device == o.device && inode == o.inode && leaf == o.leaf;
    }
};

// The identity of the file a path names. A path whose folder does not exist either is known
// by its absolute, normalised spelling (device and inode 0).
FileIdentity identifyFile(const std::string& path);

}  // namespace pxhost
