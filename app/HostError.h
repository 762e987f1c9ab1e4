#pragma once
// Errors of the host program. Each carries the exit status the program ends with and a
// message that names the file or option concerned.

#include <stdexcept>
#include <string>

#include "sdk/graph/PXiFillFailure.h"

namespace pxhost {

// Exit statuses of the program.
enum ExitStatus : int {
    kExitOk = 0,
    kExitRender = 1,  // an input could not be read, an output not written, a frame failed
    kExitUsage = 2,   // a bad option, frame range, file pattern or script
};

class HostError : public std::runtime_error {
public:
    HostError(int exitStatus, const std::string& message)
        : std::runtime_error(message), m_exitStatus(exitStatus) {}
    int exitStatus() const { return m_exitStatus; }

private:
    int m_exitStatus;
};

// Something the user can fix on the command line or in the script.
struct UsageError : HostError {
    explicit UsageError(const std::string& message) : HostError(kExitUsage, message) {}
};

// Something that went wrong with files or pixels while rendering.
struct RenderError : HostError {
    explicit RenderError(const std::string& message) : HostError(kExitRender, message) {}
};

// A node of the graph (the keyer) reported that it could not make its picture; the frame's
// output would have been the unkeyed foreground.
struct KeyerError : RenderError {
    KeyerError(const std::string& message, PXiFillFailureKind kind)
        : RenderError(message), m_kind(kind) {}
    PXiFillFailureKind kind() const { return m_kind; }
    // The node's parameters are at fault: every frame would fail alike.
    bool failsEveryFrame() const { return m_kind == PXiFillFailureKind::kSettings; }

private:
    PXiFillFailureKind m_kind;
};

}  // namespace pxhost
