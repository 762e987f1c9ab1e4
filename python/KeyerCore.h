#pragma once

// The keyer over numpy arrays: one engine with its parameters, keying pictures as the node
// keys its inputs, so that a picture keyed here equals the one the host program writes for
// the same files and parameters. Parameters are transferred before every picture; the
// engine rebuilds only the tables whose parameters changed.

#include <pybind11/numpy.h>

#include <atomic>
#include <mutex>
#include <string>

#include "api/zephra.h"
#include "host/KeyerParams.h"

namespace zephra_python {

namespace py = pybind11;

class KeyerCore {
public:
    KeyerCore();
    ~KeyerCore();
    KeyerCore(const KeyerCore&) = delete;
    KeyerCore& operator=(const KeyerCore&) = delete;

    // Sets parameters by node plug name, all at once (a picture being keyed on another thread
    // sees all of them or none): float, int or str values, already checked by the caller.
    // Plugs that the transfer does not use (bgColor, clipMode) are passed over.
    void set(const py::dict& values);

    // Keys fg (and the optional images, each None or an array of fg's size) into `out` (None
    // for a new array): RGBA of the widest sample type among the inputs, or float32 when a
    // picture is float or `headroom` is not 1 (R, G and B of fg and bg are then divided by it
    // before the keying and multiplied by it after). Releases the interpreter lock while it
    // keys.
    py::array key(const py::handle& fg, const py::handle& bg, const py::handle& holdout,
                  const py::handle& garbage, const py::handle& threads, const py::handle& out,
                  const py::handle& headroom);

    // Parameter changes the engine has reported since the keyer was made: a picture keyed with
    // unchanged parameters adds none, and so rebuilds no table.
    long changes() const { return m_changes.load(); }

private:
    static void onChange(void* self);

    ZephraHandle m_engine;
    KeyerParams m_params;  // guarded by m_keying
    std::atomic<long> m_changes{0};
    // One picture at a time: a transfer must never overlap a render of the same engine.
    std::mutex m_keying;
};

}  // namespace zephra_python
