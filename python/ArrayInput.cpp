#include "python/ArrayInput.h"

#include <cstring>
#include <limits>

#include "host/ZephraChannels.h"

namespace zephra_python {

namespace {

constexpr int kMaxChannels = 4;
// 8-bit samples widened to 16 bits: 255 becomes 65535.
constexpr std::uint16_t kWiden8To16 = 257;
constexpr float kMax8 = 255.0f;
constexpr float kMax16 = 65535.0f;
// Tile slots in the order r, g, b, a.
enum Slot { kR = 0, kG = 1, kB = 2, kA = 3 };

std::string shapeText(const py::array& a) {
    std::string text = "(";
    for (py::ssize_t i = 0; i < a.ndim(); ++i) {
        if (i) text += ", ";
        text += std::to_string(a.shape(i));
    }
    return text + (a.ndim() == 1 ? ",)" : ")");
}

// Which channel of the picture feeds each of the slots r, g, b, a (-1: none).
void slotChannels(int channels, int channelOf[4]) {
    static const int kGrey[4] = {0, 0, 0, 0};
    static const int kGreyAlpha[4] = {0, 0, 0, 1};
    static const int kRgb[4] = {0, 1, 2, -1};
    static const int kRgba[4] = {0, 1, 2, 3};
    const int* map = channels == 1   ? kGrey
                     : channels == 2 ? kGreyAlpha
                     : channels == 3 ? kRgb
                                     : kRgba;
    for (int s = 0; s < 4; ++s) channelOf[s] = map[s];
}

// A byte stride as a step in samples, when the engine can take it as one.
bool sampleStep(std::ptrdiff_t stride, int bytes, int& step) {
    if (stride < 0 || stride % bytes != 0) return false;
    const std::ptrdiff_t samples = stride / bytes;
    if (samples > std::numeric_limits<int>::max()) return false;
    step = static_cast<int>(samples);
    return true;
}

const char* sampleAddress(const ArrayInput& in, int y, int x, int channel) {
    return in.data + y * in.rowStride + x * in.pixelStride + channel * in.channelStride;
}

unsigned sampleAt(const ArrayInput& in, int y, int x, int channel) {
    const char* p = sampleAddress(in, y, x, channel);
    if (in.bytes == 1) return *reinterpret_cast<const std::uint8_t*>(p);
    return *reinterpret_cast<const std::uint16_t*>(p);
}

// A sample as a value of 0..1, as the host program makes a float copy of a picture.
float valueAt(const ArrayInput& in, int y, int x, int channel) {
    if (in.floating) {
        float value;  // strides need not keep floats aligned
        std::memcpy(&value, sampleAddress(in, y, x, channel), sizeof value);
        return value;
    }
    const unsigned sample = sampleAt(in, y, x, channel);
    return in.bytes == 1 ? sample * (1.0f / kMax8) : sample * (1.0f / kMax16);
}

// A float value as the host hands a float picture to a 16-bit node: rounded to the nearest
// step, limited to 0..65535, NaN as 0.
std::uint16_t valueTo16(float value) {
    const float scaled = value * kMax16;
    if (!(scaled > 0.0f)) return 0;
    if (scaled >= kMax16) return std::uint16_t(kMax16);
    return static_cast<std::uint16_t>(scaled + 0.5f);
}

template <typename T>
void copySamples(const ArrayInput& in, int bytes, const int* channelOf, int samples, T* out) {
    const unsigned scale = in.bytes == 1 && bytes == 2 ? kWiden8To16 : 1;
    for (int y = 0; y < in.height; ++y)
        for (int x = 0; x < in.width; ++x)
            for (int s = 0; s < samples; ++s, ++out)
                *out = channelOf[s] < 0 ? T(0) : T(sampleAt(in, y, x, channelOf[s]) * scale);
}

// Samples converted through their values: R, G and B (slots below kA of a colour copy)
// multiplied by the scale's factor.
void convertSamples(const ArrayInput& in, const int* channelOf, int samples,
                    const ColourScale& scale, std::uint16_t* out) {
    for (int y = 0; y < in.height; ++y)
        for (int x = 0; x < in.width; ++x)
            for (int s = 0; s < samples; ++s, ++out) {
                if (channelOf[s] < 0) {
                    *out = 0;
                    continue;
                }
                float value = valueAt(in, y, x, channelOf[s]);
                if (samples == kMaxChannels && s < kA && scale.factor != 1) value *= scale.factor;
                *out = valueTo16(value);
            }
}

}  // namespace

std::string textOf(const py::handle& object) { return py::str(object).cast<std::string>(); }

ArrayInput captureArray(const py::handle& object, const char* role) {
    if (!py::isinstance<py::array>(object))
        throw py::type_error(std::string(role) + " must be a numpy array, not " +
                             textOf(py::type::handle_of(object).attr("__name__")));
    ArrayInput in;
    in.array = py::reinterpret_borrow<py::array>(object);
    py::dtype dtype = in.array.dtype();
    if (dtype.kind() == 'f' && !dtype.equal(py::dtype::of<float>())) {
        in.array = py::array_t<float, py::array::forcecast>::ensure(in.array);
        if (!in.array) throw py::error_already_set();
        dtype = in.array.dtype();
    }
    if (dtype.is(py::dtype::of<std::uint8_t>()) || dtype.equal(py::dtype::of<std::uint8_t>())) {
        in.bytes = 1;
    } else if (dtype.equal(py::dtype::of<std::uint16_t>())) {
        in.bytes = 2;
    } else if (dtype.equal(py::dtype::of<float>())) {
        in.bytes = sizeof(float);
        in.floating = true;
    } else {
        throw py::type_error(std::string(role) + " must hold uint8, uint16 or float samples, not " +
                             textOf(dtype));
    }
    const py::ssize_t ndim = in.array.ndim();
    const bool shaped =
        ndim == 2 || (ndim == 3 && in.array.shape(2) >= 1 && in.array.shape(2) <= kMaxChannels);
    if (!shaped)
        throw py::value_error(std::string(role) +
                              " must have shape (height, width) or (height, width, channels) "
                              "with 1 to 4 channels, not " +
                              shapeText(in.array));
    if (in.array.shape(0) <= 0 || in.array.shape(1) <= 0)
        throw py::value_error(std::string(role) + " is empty: shape " + shapeText(in.array));
    if (in.array.shape(0) > std::numeric_limits<int>::max() ||
        in.array.shape(1) > std::numeric_limits<int>::max())
        throw py::value_error(std::string(role) + " is too large: shape " + shapeText(in.array));
    in.height = static_cast<int>(in.array.shape(0));
    in.width = static_cast<int>(in.array.shape(1));
    in.channels = ndim == 2 ? 1 : static_cast<int>(in.array.shape(2));
    in.rowStride = in.array.strides(0);
    in.pixelStride = in.array.strides(1);
    in.channelStride = ndim == 2 ? 0 : in.array.strides(2);
    in.data = static_cast<char*>(const_cast<void*>(in.array.data()));
    return in;
}

int letterChannel(const ArrayInput& input, char letter) {
    int channelOf[4];
    slotChannels(input.channels, channelOf);
    // The host's sample order A, B, G, R runs opposite to the tile's slots r, g, b, a.
    return channelOf[kA - zephraLetterSample(letter)];
}

bool TileSource::direct(const ArrayInput& in, int bytes, const int channelOf[4]) {
    if (in.bytes != bytes) return false;
    int pixelStep = 0, rowStep = 0, channelStep = 0;
    if (!sampleStep(in.pixelStride, bytes, pixelStep) ||
        !sampleStep(in.rowStride, bytes, rowStep) ||
        !sampleStep(in.channelStride, bytes, channelStep))
        return false;
    void* slots[4];
    for (int s = 0; s < 4; ++s) {
        if (channelOf[s] < 0) return false;
        slots[s] = in.data + channelOf[s] * in.channelStride;
    }
    m_image = {slots[kR], slots[kG], slots[kB], slots[kA], pixelStep, rowStep};
    return true;
}

void TileSource::copied(const ArrayInput& in, int bytes, const int channelOf[4], int samples,
                        const ColourScale& scale) {
    const std::size_t count = static_cast<std::size_t>(in.height) * in.width * samples;
    char* base;
    if (in.floating || scale.convert) {
        m_own16.resize(count);  // the caller keys converted pictures at 16 bits
        convertSamples(in, channelOf, samples, scale, m_own16.data());
        base = reinterpret_cast<char*>(m_own16.data());
    } else if (bytes == 1) {
        m_own8.resize(count);
        copySamples(in, bytes, channelOf, samples, m_own8.data());
        base = reinterpret_cast<char*>(m_own8.data());
    } else {
        m_own16.resize(count);
        copySamples(in, bytes, channelOf, samples, m_own16.data());
        base = reinterpret_cast<char*>(m_own16.data());
    }
    void* slots[4];
    // A copied matte holds its one channel; colour copies hold r, g, b, a per pixel.
    for (int s = 0; s < 4; ++s) slots[s] = base + (samples == 1 ? 0 : s * bytes);
    m_image = {slots[kR], slots[kG], slots[kB], slots[kA], samples, samples * in.width};
}

void TileSource::colour(const ArrayInput& in, int bytes, bool withAlpha, const ColourScale& scale) {
    int channelOf[4];
    slotChannels(in.channels, channelOf);
    // The keyer never reads a foreground's alpha: the slot then repeats red.
    if (!withAlpha && channelOf[kA] < 0) channelOf[kA] = channelOf[kR];
    if (scale.convert || !direct(in, bytes, channelOf))
        copied(in, bytes, channelOf, kMaxChannels, scale);
}

void TileSource::ownOutput(int width, int height) {
    m_own16.assign(static_cast<std::size_t>(width) * height * kMaxChannels, 0);
    std::uint16_t* base = m_own16.data();
    m_image = {base + kR, base + kG, base + kB, base + kA, kMaxChannels, kMaxChannels * width};
}

void keyedToFloat(const std::uint16_t* keyed, const ArrayInput& out, float headroom) {
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x)
            for (int s = 0; s < kMaxChannels; ++s) {
                float value = *keyed++ * (1.0f / kMax16);
                if (s < kA && headroom != 1) value *= headroom;
                std::memcpy(
                    out.data + y * out.rowStride + x * out.pixelStride + s * out.channelStride,
                    &value, sizeof value);
            }
}

bool TileSource::output(const ArrayInput& in, int bytes) {
    int channelOf[4];
    slotChannels(in.channels, channelOf);
    return in.channels == kMaxChannels && direct(in, bytes, channelOf);
}

void TileSource::matte(const ArrayInput& in, int bytes, char letter) {
    const int channel = letterChannel(in, letter);
    if (channel < 0) {
        // Every pixel reads the one zero sample.
        m_image = {nullptr, nullptr, nullptr, &m_zero, 0, 0};
        return;
    }
    const int channelOf[4] = {channel, channel, channel, channel};
    if (!direct(in, bytes, channelOf)) copied(in, bytes, channelOf, 1);
    m_image.r = m_image.g = m_image.b = nullptr;
}

TileImage tileImageBelow(const TileImage& image, int rows, int bytes) {
    TileImage moved = image;
    const std::ptrdiff_t offset = static_cast<std::ptrdiff_t>(rows) * image.rowStep * bytes;
    void* TileImage::*slots[] = {&TileImage::r, &TileImage::g, &TileImage::b, &TileImage::a};
    for (auto slot : slots)
        if (moved.*slot) moved.*slot = static_cast<char*>(moved.*slot) + offset;
    return moved;
}

}  // namespace zephra_python
