#include "python/EngineBinding.h"

#include <pybind11/functional.h>
#include <pybind11/numpy.h>

#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "api/zephra.h"
#include "python/ArrayInput.h"
#include "python/EngineError.h"

namespace zephra_python {

namespace py = pybind11;

namespace {

// Letters naming the slots of a tile image, in slot order; '-' skips a channel.
constexpr const char* kSlotLetters = "RGBA";
constexpr char kSkip = '-';

int sampleBytes(const py::array& a, const char* what) {
    if (a.dtype().equal(py::dtype::of<std::uint8_t>())) return 1;
    if (a.dtype().equal(py::dtype::of<std::uint16_t>())) return 2;
    throw py::type_error(std::string(what) + " must hold uint8 or uint16 samples, not " +
                         textOf(a.dtype()));
}

int sampleStep(py::ssize_t stride, int bytes, const char* what) {
    if (stride < 0 || stride % bytes != 0 || stride / bytes > std::numeric_limits<int>::max())
        throw py::value_error(std::string(what) +
                              ": its strides must be non-negative whole numbers of samples "
                              "(copy it with numpy.ascontiguousarray)");
    return static_cast<int>(stride / bytes);
}

}  // namespace

// One image of a tile over numpy arrays: the four slot pointers with the steps they share.
class ArrayImage {
public:
    // Interleaved: channel i of `array` (height, width, channels) feeds the slot named by
    // letter i of `channels`; a 2-D array is one plane, by default the alpha slot.
    ArrayImage(const py::array& array, const std::string& channels) {
        const py::ssize_t ndim = array.ndim();
        if (ndim != 2 && ndim != 3)
            throw py::value_error(
                "an image is a (height, width) or (height, width, channels) "
                "array");
        const py::ssize_t count = ndim == 2 ? 1 : array.shape(2);
        std::string letters = channels;
        if (letters.empty()) {
            if (ndim == 2)
                letters = "A";
            else if (count <= 4)
                letters = std::string(kSlotLetters, static_cast<std::size_t>(count));
            else
                throw py::value_error("name the channels of an array with more than 4 channels");
        }
        if (static_cast<py::ssize_t>(letters.size()) != count)
            throw py::value_error("channels \"" + letters + "\" names " +
                                  std::to_string(letters.size()) + " channels but the array has " +
                                  std::to_string(count));
        init(array);
        const py::ssize_t channelStride = ndim == 2 ? 0 : array.strides(2);
        char* base = static_cast<char*>(const_cast<void*>(array.data()));
        for (std::size_t i = 0; i < letters.size(); ++i) {
            if (letters[i] == kSkip) continue;
            const char* at = std::strchr(kSlotLetters, letters[i]);
            if (!at || letters[i] == '\0')
                throw py::value_error(std::string("channel letters are R, G, B, A or -, not '") +
                                      letters[i] + "'");
            void*& slot = this->slot(static_cast<int>(at - kSlotLetters));
            if (slot) throw py::value_error(std::string("channel ") + letters[i] + " named twice");
            slot = base + static_cast<py::ssize_t>(i) * channelStride;
        }
        m_keep.push_back(array);
    }

    // Planar: one 2-D array per slot (None leaves the slot empty); all of one shape, sample
    // type and strides.
    static ArrayImage planar(const py::object& r, const py::object& g, const py::object& b,
                             const py::object& a) {
        ArrayImage image;
        const py::object planes[4] = {r, g, b, a};
        for (int s = 0; s < 4; ++s) {
            if (planes[s].is_none()) continue;
            // Only arrays: a converted copy would swallow what the engine writes into it.
            if (!py::isinstance<py::array>(planes[s]))
                throw py::type_error("planar images take numpy arrays");
            py::array plane = py::reinterpret_borrow<py::array>(planes[s]);
            if (plane.ndim() != 2) throw py::value_error("planar images take 2-D arrays");
            if (image.m_keep.empty()) {
                image.init(plane);
            } else {
                const py::array& first = image.m_keep.front();
                if (!plane.dtype().equal(first.dtype()) || plane.shape(0) != first.shape(0) ||
                    plane.shape(1) != first.shape(1) || plane.strides(0) != first.strides(0) ||
                    plane.strides(1) != first.strides(1))
                    throw py::value_error(
                        "the planes of an image must share shape, sample "
                        "type and strides");
                image.m_writable = image.m_writable && plane.writeable();
            }
            image.slot(s) = const_cast<void*>(plane.data());
            image.m_keep.push_back(plane);
        }
        if (image.m_keep.empty()) throw py::value_error("a planar image needs at least one plane");
        return image;
    }

    const TileImage& tile() const { return m_tile; }
    int height() const { return m_height; }
    int width() const { return m_width; }
    int bytes() const { return m_bytes; }
    bool writable() const { return m_writable; }

private:
    ArrayImage() = default;

    void init(const py::array& array) {
        m_bytes = sampleBytes(array, "an image");
        if (array.shape(0) > std::numeric_limits<int>::max() ||
            array.shape(1) > std::numeric_limits<int>::max())
            throw py::value_error("an image is too large for the engine");
        m_height = static_cast<int>(array.shape(0));
        m_width = static_cast<int>(array.shape(1));
        m_tile.rowStep = sampleStep(array.strides(0), m_bytes, "an image");
        m_tile.pixelStep = sampleStep(array.strides(1), m_bytes, "an image");
        if (array.ndim() == 3) sampleStep(array.strides(2), m_bytes, "an image");
        m_writable = array.writeable();
    }

    void*& slot(int s) {
        return s == 0 ? m_tile.r : s == 1 ? m_tile.g : s == 2 ? m_tile.b : m_tile.a;
    }

    TileImage m_tile{};
    int m_height = 0, m_width = 0, m_bytes = 1;
    bool m_writable = true;
    std::vector<py::array> m_keep;  // the arrays the pointers address
};

namespace {

// An Image, an array taken as an interleaved image with default channel letters, or None.
std::unique_ptr<ArrayImage> imageOf(const py::handle& object, const char* role) {
    if (object.is_none()) return nullptr;
    if (py::isinstance<ArrayImage>(object))
        return std::make_unique<ArrayImage>(object.cast<const ArrayImage&>());
    if (py::isinstance<py::array>(object))
        return std::make_unique<ArrayImage>(py::reinterpret_borrow<py::array>(object), "");
    throw py::type_error(std::string(role) + " must be a zephra.Image, a numpy array or None");
}

// One engine. Python owns it; the engine ends with the object.
class Engine {
public:
    Engine() : m_handle(zephra_new()) {
        if (!m_handle) throw std::bad_alloc();
    }
    ~Engine() {
        // Deleting the engine calls its callback once more, which still needs the function.
        zephra_delete(m_handle);
    }
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    ZephraHandle handle() const { return m_handle; }

    void installCallback(py::object fn) {
        if (fn.is_none()) {
            zephra_installCallback(m_handle, nullptr, nullptr);
        } else {
            if (!PyCallable_Check(fn.ptr())) throw py::type_error("the callback must be callable");
            zephra_installCallback(m_handle, &Engine::callPython, this);
        }
        m_callback = std::move(fn);
    }

    void render(const py::handle& dst, const py::handle& fg, const py::handle& bg,
                const py::handle& hold, const py::handle& garbage, const py::handle& ref) {
        std::unique_ptr<ArrayImage> images[6] = {imageOf(dst, "dst"),         imageOf(bg, "bg"),
                                                 imageOf(fg, "fg"),           imageOf(hold, "hold"),
                                                 imageOf(garbage, "garbage"), imageOf(ref, "ref")};
        static const char* const kRoles[6] = {"dst", "bg", "fg", "hold", "garbage", "ref"};
        const ArrayImage* out = images[0].get();
        if (!out) throw py::type_error("render needs a dst image");
        if (!out->writable()) throw py::value_error("dst is read-only");
        Ztile tile{};
        TileImage* slots[6] = {&tile.dst, &tile.bg, &tile.fg, &tile.hold, &tile.garbage, &tile.ref};
        for (int i = 0; i < 6; ++i) {
            const ArrayImage* image = images[i].get();
            if (!image) continue;
            if (image->height() != out->height() || image->width() != out->width())
                throw py::value_error(std::string(kRoles[i]) + " is not the size of dst");
            if (image->bytes() != out->bytes())
                throw py::type_error(std::string(kRoles[i]) + " does not hold dst's sample type");
            *slots[i] = image->tile();
        }
        int result;
        {
            py::gil_scoped_release unlocked;
            result = zephra_render(m_handle, out->bytes(), out->width(), out->height(), &tile);
        }
        checkRender(result);
    }

private:
    static void callPython(void* self) {
        py::gil_scoped_acquire locked;
        Engine* engine = static_cast<Engine*>(self);
        if (engine->m_callback.is_none()) return;
        try {
            engine->m_callback();
        } catch (py::error_already_set& e) {
            // The engine cannot carry an exception back through its setter: report it as
            // Python reports errors it cannot raise.
            e.discard_as_unraisable("zephra engine callback");
        }
    }

    ZephraHandle m_handle;
    py::object m_callback = py::none();
};

}  // namespace

void bindEngine(py::module_& m) {
    py::class_<ArrayImage>(m, "Image", R"(A tile image over numpy arrays, as Engine.render takes it.

Image(array, channels=None): interleaved samples. array has shape (height, width,
channels) or (height, width); `channels` names each array channel's role with one letter
R, G, B or A, or - to skip it (default "RGBA"[:n]; a 2-D array is the alpha slot, as
mattes are read). Any order and any pixel step work: Image(bgra, "BGRA"),
Image(pixels5, "-RGBA"). Strides must be non-negative whole numbers of samples.)")
        .def(py::init<const py::array&, const std::string&>(), py::arg("array"),
             py::arg("channels") = "")
        .def_static("planar", &ArrayImage::planar, py::arg("r") = py::none(),
                    py::arg("g") = py::none(), py::arg("b") = py::none(), py::arg("a") = py::none(),
                    "Planar samples: one 2-D array per channel, all of one shape, sample type "
                    "and strides; a channel given None stays empty.")
        .def_property_readonly("height", &ArrayImage::height)
        .def_property_readonly("width", &ArrayImage::width)
        .def_property_readonly("bytes", &ArrayImage::bytes, "bytes per sample: 1 or 2");

    using E = Engine;
    py::class_<Engine>(m, "Engine", R"(One keyer engine, driven through the procedural interface.

Each method calls the zephra_* function of the same name (setScreen -> set_screen) with the
same arguments. Setters clamp, store only real changes and mark the tables they feed stale;
make_luts rebuilds those tables; render keys one tile. Non-zero results raise TablesError
(make_luts) or RenderRefused (render), whose `code` is the engine's result.)")
        .def(py::init<>())
        .def("install_callback", &E::installCallback, py::arg("fn"),
             "Calls fn() on every effective parameter change and whenever the engine frees its "
             "tables; None removes it.")
        .def(
            "set_colourspace", [](E& e, int id) { zephra_setColourspace(e.handle(), id); },
            py::arg("id"), "0 linear, 1 log, 2 video; any other id acts as linear.")
        .def(
            "set_screen",
            [](E& e, float r, float g, float b) { zephra_setScreen(e.handle(), r, g, b); },
            py::arg("r"), py::arg("g"), py::arg("b"))
        .def(
            "set_neutral",
            [](E& e, float r, float g, float b) { zephra_setNeutral(e.handle(), r, g, b); },
            py::arg("r"), py::arg("g"), py::arg("b"))
        .def(
            "set_replace",
            [](E& e, float r, float g, float b) { zephra_setReplace(e.handle(), r, g, b); },
            py::arg("r"), py::arg("g"), py::arg("b"))
        .def(
            "set_background",
            [](E& e, float r, float g, float b) { zephra_setBackground(e.handle(), r, g, b); },
            py::arg("r"), py::arg("g"), py::arg("b"))
        .def(
            "set_balance",
            [](E& e, int which, float v) { zephra_setBalance(e.handle(), which, v); },
            py::arg("which"), py::arg("v"), "which: 0 shadows, 1 midtones, 2 highlights.")
        .def(
            "set_gain", [](E& e, int which, float v) { zephra_setGain(e.handle(), which, v); },
            py::arg("which"), py::arg("v"))
        .def(
            "set_mp", [](E& e, float r, float g, float b) { zephra_setMp(e.handle(), r, g, b); },
            py::arg("r"), py::arg("g"), py::arg("b"))
        .def(
            "set_screen_range", [](E& e, float v) { zephra_setScreenRange(e.handle(), v); },
            py::arg("v"))
        .def(
            "set_exposure",
            [](E& e, float r, float g, float b, int set) {
                zephra_setExposure(e.handle(), r, g, b, set);
            },
            py::arg("r"), py::arg("g"), py::arg("b"), py::arg("set") = 0,
            "set: 0 the foreground's correction, 1 the background's.")
        .def(
            "set_gamma",
            [](E& e, float r, float g, float b, int set) {
                zephra_setGamma(e.handle(), r, g, b, set);
            },
            py::arg("r"), py::arg("g"), py::arg("b"), py::arg("set") = 0)
        .def(
            "set_offset",
            [](E& e, float r, float g, float b, int set) {
                zephra_setOffset(e.handle(), r, g, b, set);
            },
            py::arg("r"), py::arg("g"), py::arg("b"), py::arg("set") = 0)
        .def(
            "set_saturation",
            [](E& e, float v, int set) { zephra_setSaturation(e.handle(), v, set); }, py::arg("v"),
            py::arg("set") = 0)
        .def(
            "set_view", [](E& e, int id) { zephra_setView(e.handle(), id); }, py::arg("id"),
            "0 composite, 1 over the background colour, 2 matte, 4 unpremultiplied, 5 status.")
        .def("get_view", [](E& e) { return zephra_getView(e.handle()); })
        .def(
            "set_fg_max", [](E& e, int max) { zephra_setFgMax(e.handle(), max); }, py::arg("max"))
        .def(
            "set_bg_max", [](E& e, int max) { zephra_setBgMax(e.handle(), max); }, py::arg("max"))
        .def(
            "set_g_matte_max", [](E& e, int max) { zephra_setGMatteMax(e.handle(), max); },
            py::arg("max"))
        .def(
            "set_h_matte_max", [](E& e, int max) { zephra_setHMatteMax(e.handle(), max); },
            py::arg("max"))
        .def(
            "set_dst_max", [](E& e, int max) { zephra_setDstMax(e.handle(), max); }, py::arg("max"))
        .def(
            "set_ref_max", [](E& e, int max) { zephra_setRefMax(e.handle(), max); }, py::arg("max"))
        .def(
            "use_hold", [](E& e, int on) { zephra_useHold(e.handle(), on); }, py::arg("on"))
        .def(
            "use_garbage", [](E& e, int on) { zephra_useGarbage(e.handle(), on); }, py::arg("on"))
        .def(
            "use_ref", [](E& e, int on) { zephra_useRef(e.handle(), on); }, py::arg("on"))
        .def(
            "make_luts",
            [](E& e) {
                int result;
                {
                    py::gil_scoped_release unlocked;
                    result = zephra_makeLuts(e.handle());
                }
                checkMakeLuts(result);
            },
            "Rebuilds the stale tables; raises TablesError when the engine cannot.")
        .def("render", &E::render, py::arg("dst"), py::arg("fg") = py::none(),
             py::arg("bg") = py::none(), py::arg("hold") = py::none(),
             py::arg("garbage") = py::none(), py::arg("ref") = py::none(),
             R"(Keys one tile: zephra_render with the images given.

Each image is a zephra.Image or a numpy array (an interleaved RGB(A) image; a 2-D array is a
matte). All have dst's size and sample type, which gives the tile's size and sample width.
Like the engine, a render while the tables are stale writes nothing and returns; a refusal
raises RenderRefused. The interpreter lock is released while it runs.)");
}

}  // namespace zephra_python
