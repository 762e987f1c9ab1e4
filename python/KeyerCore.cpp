#include "python/KeyerCore.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <optional>

#include "python/ArrayInput.h"
#include "python/BandRender.h"
#include "python/EngineError.h"

namespace zephra_python {

namespace {

constexpr int kOutputChannels = 4;  // R, G, B, A

std::string sizeText(const ArrayInput& a) {
    return std::to_string(a.height) + " x " + std::to_string(a.width);
}

std::optional<ArrayInput> optionalArray(const py::handle& object, const char* role) {
    if (object.is_none()) return std::nullopt;
    return captureArray(object, role);
}

int threadCount(const py::handle& threads) {
    if (threads.is_none()) return defaultThreadCount();
    if (!py::isinstance<py::int_>(threads) || py::isinstance<py::bool_>(threads))
        throw py::type_error("threads must be an int or None");
    const long n = threads.cast<long>();
    if (n < 1) throw py::value_error("threads must be 1 or more, not " + std::to_string(n));
    return static_cast<int>(std::min<long>(n, 1 << 16));
}

// The headroom given, a finite number above 0 whose reciprocal is one too.
float headroomOf(const py::handle& headroom) {
    if (headroom.is_none()) return 1;
    if (py::isinstance<py::bool_>(headroom) ||
        !(py::isinstance<py::int_>(headroom) || py::isinstance<py::float_>(headroom)))
        throw py::type_error("headroom must be a number, not " +
                             textOf(py::type::handle_of(headroom).attr("__name__")));
    const float value = static_cast<float>(headroom.cast<double>());
    if (!(value > 0) || !std::isfinite(value) || !std::isfinite(1 / value))
        throw py::value_error(
            "headroom must be a number above 0 (1 keeps values as they are), "
            "not " +
            textOf(headroom));
    return value;
}

// The output array: a new one, or `out` checked against what the keyer writes.
py::array outputArray(const py::handle& out, const ArrayInput& fg, int bytes, bool floating) {
    const py::dtype dtype = floating     ? py::dtype::of<float>()
                            : bytes == 1 ? py::dtype::of<std::uint8_t>()
                                         : py::dtype::of<std::uint16_t>();
    if (out.is_none()) {
        std::vector<py::ssize_t> shape = {fg.height, fg.width, kOutputChannels};
        return py::array(dtype, shape);
    }
    if (!py::isinstance<py::array>(out)) throw py::type_error("out must be a numpy array");
    py::array a = py::reinterpret_borrow<py::array>(out);
    if (!a.dtype().equal(dtype))
        throw py::type_error("out must hold " + textOf(dtype) +
                             " samples (the widest input's), not " + textOf(a.dtype()));
    if (a.ndim() != 3 || a.shape(0) != fg.height || a.shape(1) != fg.width ||
        a.shape(2) != kOutputChannels)
        throw py::value_error("out must have shape (" + std::to_string(fg.height) + ", " +
                              std::to_string(fg.width) + ", 4)");
    if (!a.writeable()) throw py::value_error("out is read-only");
    return a;
}

// Whether two arrays' memory may overlap (numpy's own bounds test).
bool mayShare(const py::array& a, const py::array& b) {
    static py::object test = py::module_::import("numpy").attr("may_share_memory");
    return test(a, b).cast<bool>();
}

bool sameLayout(const py::array& a, const py::array& b) {
    if (a.data() != b.data() || a.ndim() != b.ndim() || !a.dtype().equal(b.dtype())) return false;
    for (py::ssize_t i = 0; i < a.ndim(); ++i)
        if (a.shape(i) != b.shape(i) || a.strides(i) != b.strides(i)) return false;
    return true;
}

}  // namespace

KeyerCore::KeyerCore() : m_engine(zephra_new()), m_params(KeyerParams::defaults()) {
    if (!m_engine) throw std::bad_alloc();
    zephra_installCallback(m_engine, &KeyerCore::onChange, this);
    // Like the node: no reference plate.
    zephra_useRef(m_engine, 0);
}

KeyerCore::~KeyerCore() { zephra_delete(m_engine); }

void KeyerCore::onChange(void* self) { ++static_cast<KeyerCore*>(self)->m_changes; }

void KeyerCore::set(const py::dict& values) {
    std::lock_guard<std::mutex> lock(m_keying);
    for (const auto& [key, value] : values) {
        const std::string plug = key.cast<std::string>();
        if (py::isinstance<py::str>(value))
            m_params.setText(plug, value.cast<std::string>());
        else if (!py::isinstance<py::int_>(value) || !m_params.setInt(plug, value.cast<int>()))
            m_params.setFloat(plug, value.cast<float>());
    }
}

py::array KeyerCore::key(const py::handle& fgObject, const py::handle& bgObject,
                         const py::handle& holdObject, const py::handle& garbageObject,
                         const py::handle& threadsObject, const py::handle& outObject,
                         const py::handle& headroomObject) {
    const ArrayInput fg = captureArray(fgObject, "fg");
    const std::optional<ArrayInput> bg = optionalArray(bgObject, "bg");
    const std::optional<ArrayInput> hold = optionalArray(holdObject, "holdout");
    const std::optional<ArrayInput> garbage = optionalArray(garbageObject, "garbage");
    const int threads = threadCount(threadsObject);
    const float headroom = headroomOf(headroomObject);
    // Float pictures, and pictures given a headroom, are keyed at 16 bits through their values.
    const ColourScale scale{headroom != 1, 1 / headroom};
    bool floating = fg.floating || scale.convert;

    int bytes = fg.bytes;
    const std::pair<const char*, const std::optional<ArrayInput>*> others[] = {
        {"bg", &bg}, {"holdout", &hold}, {"garbage", &garbage}};
    for (const auto& [role, input] : others) {
        if (!*input) continue;
        const ArrayInput& a = **input;
        if (a.height != fg.height || a.width != fg.width)
            throw py::value_error(std::string(role) + " is " + sizeText(a) + " pixels but fg is " +
                                  sizeText(fg) +
                                  ": every picture keyed together has the same size");
        bytes = std::max(bytes, a.bytes);
        floating = floating || a.floating;
    }
    if (floating) bytes = 2;
    py::array out = outputArray(outObject, fg, bytes, floating);
    // The keyer writes its output over the foreground only where they are the same samples.
    const bool inPlace = sameLayout(out, fg.array);
    for (const auto& [role, input] : others)
        if (*input && mayShare(out, (*input)->array))
            throw py::value_error(std::string("out shares memory with ") + role);
    if (!inPlace && mayShare(out, fg.array))
        throw py::value_error("out shares memory with fg but is not fg itself");
    const ArrayInput dst = captureArray(out, "out");
    TileSource dstSource;
    if (floating)
        dstSource.ownOutput(fg.width, fg.height);  // converted into out after the keying
    else if (!dstSource.output(dst, bytes))
        throw py::value_error(
            "out's strides are not whole, non-negative numbers of samples; pass an array made "
            "by numpy.empty or none");

    // The transfer the node makes, with the inputs as connected here.
    KeyerParams params;
    {
        std::lock_guard<std::mutex> lock(m_keying);
        params = m_params;
    }
    params.bgConnected = bg.has_value();
    params.holdConnected = hold.has_value();
    params.garbageConnected = garbage.has_value();
    params.depth = bytes;

    int tablesResult = 0, renderResult = 0;
    {
        py::gil_scoped_release unlocked;
        TileSource fgSource, bgSource, holdSource, garbageSource;
        fgSource.colour(fg, bytes, false, scale);
        // The composite takes its alpha from the background plate's, 0 where it has none.
        if (bg) bgSource.colour(*bg, bytes, true, scale);

        std::lock_guard<std::mutex> lock(m_keying);
        const KeyerTransfer transfer = keyerTransfer(params, m_engine);
        tablesResult = transfer.makeLutsResult;
        if (tablesResult == 0) {
            Ztile tile{};
            tile.dst = dstSource.image();
            tile.fg = fgSource.image();
            if (bg) tile.bg = bgSource.image();
            if (transfer.holdInUse) {
                holdSource.matte(*hold, bytes, transfer.holdLetter);
                tile.hold = holdSource.image();
            }
            if (transfer.garbageInUse) {
                garbageSource.matte(*garbage, bytes, transfer.garbageLetter);
                tile.garbage = garbageSource.image();
            }
            renderResult = renderBands(m_engine, bytes, fg.width, fg.height, tile, threads);
            if (renderResult == 0 && floating) keyedToFloat(dstSource.own16(), dst, headroom);
        }
    }
    checkMakeLuts(tablesResult);
    checkRender(renderResult);
    return out;
}

}  // namespace zephra_python
