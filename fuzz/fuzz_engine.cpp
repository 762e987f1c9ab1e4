// Fuzzes the keyer engine: an arbitrary sequence of setter calls (any floats, NaN and
// infinities included, any ids and switches, maxima 1..65535), then makeLuts and one render of
// a small tile whose input samples lie within the engine's maxima or, at times, above them
// (samples that index tables; the background's alpha stays within), with random layouts
// (interleaved or planar, mirrored, bottom-up, padded rows), views, sample widths and
// optional inputs. Checks the result codes, that render writes nothing it may not write, that
// written samples stay within the output maximum and that inputs are never modified; the
// sanitizers catch any table index out of range.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "engine/VRFZephraTable.h"
#include "engine/Ztile.h"

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_engine: invariant broken: %s\n", what);
    std::abort();
}

// Any float, with the awkward ones drawn often.
float anyFloat(FuzzedDataProvider& in) {
    static const float special[] = {0.0f,
                                    -0.0f,
                                    1.0f,
                                    -1.0f,
                                    0.5f,
                                    1e-30f,
                                    1e30f,
                                    std::numeric_limits<float>::quiet_NaN(),
                                    std::numeric_limits<float>::infinity(),
                                    -std::numeric_limits<float>::infinity(),
                                    std::numeric_limits<float>::denorm_min(),
                                    std::numeric_limits<float>::max(),
                                    std::numeric_limits<float>::lowest()};
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0:
            return in.PickValueInArray(special);
        case 1:
            return in.ConsumeFloatingPointInRange<float>(-0.5f, 1.5f);
        case 2:
            return in.ConsumeFloatingPoint<float>();
        default: {
            std::uint32_t bits = in.ConsumeIntegral<std::uint32_t>();
            float f;
            std::memcpy(&f, &bits, sizeof f);
            return f;
        }
    }
}

// Any int, with small ones (the meaningful ids and switches) drawn often.
int anyInt(FuzzedDataProvider& in) {
    if (in.ConsumeBool()) return in.ConsumeIntegralInRange<int>(-2, 6);
    return in.ConsumeIntegral<int>();
}

int anyMax(FuzzedDataProvider& in) {
    static const int common[] = {1, 255, 1023, 4095, 16383, 65535};
    if (in.ConsumeBool()) return in.PickValueInArray(common);
    return in.ConsumeIntegralInRange<int>(1, 65535);
}

void applySetters(FuzzedDataProvider& in, VRFZephraTable& e) {
    const int calls = in.ConsumeIntegralInRange<int>(0, 40);
    for (int i = 0; i < calls && in.remaining_bytes() > 0; ++i) {
        switch (in.ConsumeIntegralInRange<int>(0, 23)) {
            case 0:
                e.setScreen(anyFloat(in), anyFloat(in), anyFloat(in));
                break;
            case 1:
                e.setScreenRange(anyFloat(in));
                break;
            case 2:
                e.setReplace(anyFloat(in), anyFloat(in), anyFloat(in));
                break;
            case 3:
                e.setBackground(anyFloat(in), anyFloat(in), anyFloat(in));
                break;
            case 4:
                e.setMp(anyFloat(in), anyFloat(in), anyFloat(in));
                break;
            case 5:
                e.setNeutral(anyFloat(in), anyFloat(in), anyFloat(in));
                break;
            case 6:
                e.setBalance(anyInt(in), anyFloat(in));
                break;
            case 7:
                e.setGain(anyInt(in), anyFloat(in));
                break;
            case 8:
                e.setExposure(anyFloat(in), anyFloat(in), anyFloat(in), anyInt(in));
                break;
            case 9:
                e.setGamma(anyFloat(in), anyFloat(in), anyFloat(in), anyInt(in));
                break;
            case 10:
                e.setOffset(anyFloat(in), anyFloat(in), anyFloat(in), anyInt(in));
                break;
            case 11:
                e.setSaturation(anyFloat(in), anyInt(in));
                break;
            case 12:
                e.useHold(anyInt(in));
                break;
            case 13:
                e.useGarbage(anyInt(in));
                break;
            case 14:
                e.useRef(anyInt(in));
                break;
            case 15:
                e.setView(anyInt(in));
                break;
            case 16:
                e.setColourspace(anyInt(in));
                break;
            case 17:
                e.setDstMax(anyMax(in));
                break;
            case 18:
                e.setFgMax(anyMax(in));
                break;
            case 19:
                e.setBgMax(anyMax(in));
                break;
            case 20:
                e.setRefMax(anyMax(in));
                break;
            case 21:
                e.setGMatteMax(anyMax(in));
                break;
            case 22:
                e.setHMatteMax(anyMax(in));
                break;
            default:
                e.nukeTables();
                break;
        }
    }
}

// One image of the tile in its own storage, four channels r, g, b, a. Steps may be negative:
// pixel (0, 0) then sits at the far end of the storage.
template <typename T>
struct Plane {
    std::vector<T> store;
    std::ptrdiff_t base[4] = {0, 0, 0, 0};
    int pixelStep = 0, rowStep = 0;

    std::ptrdiff_t at(int c, int x, int y) const {
        return base[c] + std::ptrdiff_t(x) * pixelStep + std::ptrdiff_t(y) * rowStep;
    }
    TileImage view(bool withColour, bool withAlpha) {
        TileImage t{};
        if (withColour) {
            t.r = store.data() + base[0];
            t.g = store.data() + base[1];
            t.b = store.data() + base[2];
        }
        if (withAlpha) t.a = store.data() + base[3];
        t.pixelStep = pixelStep;
        t.rowStep = rowStep;
        return t;
    }
};

template <typename T>
Plane<T> makePlane(FuzzedDataProvider& in, int width, int height) {
    Plane<T> p;
    const bool mirrored = in.ConsumeBool(), bottomUp = in.ConsumeBool();
    int step, row;
    std::ptrdiff_t channelOffset[4];
    std::size_t size;
    if (in.ConsumeBool()) {  // interleaved A, B, G, R
        step = 4;
        row = width * 4 + in.ConsumeIntegralInRange<int>(0, 3);
        size = std::size_t(row) * std::size_t(height);
        for (int c = 0; c < 4; ++c) channelOffset[c] = 3 - c;
    } else {  // planar
        step = in.ConsumeIntegralInRange<int>(1, 3);
        row = width * step + in.ConsumeIntegralInRange<int>(0, 3);
        const std::size_t plane = std::size_t(row) * std::size_t(height) + 1;
        size = plane * 4;
        for (int c = 0; c < 4; ++c) channelOffset[c] = std::ptrdiff_t(plane) * c;
    }
    p.store.assign(size, T(0));
    const std::ptrdiff_t origin = (mirrored ? std::ptrdiff_t(width - 1) * step : 0) +
                                  (bottomUp ? std::ptrdiff_t(height - 1) * row : 0);
    for (int c = 0; c < 4; ++c) p.base[c] = origin + channelOffset[c];
    p.pixelStep = mirrored ? -step : step;
    p.rowStep = bottomUp ? -row : row;
    return p;
}

// Every sample in 0..max (the ends often), from the input; zeros once it runs dry.
template <typename T>
void fillWithin(FuzzedDataProvider& in, Plane<T>& p, int max) {
    for (T& s : p.store) {
        const std::uint8_t pick = in.ConsumeIntegral<std::uint8_t>();
        if (pick < 32)
            s = T(max);
        else if (pick < 48)
            s = T(0);
        else
            s = T(in.ConsumeIntegralInRange<int>(0, max));
    }
}

// Some samples of channels first .. last raised above `max`, up to the sample type's `limit`:
// a caller that breaks the contract on its maxima must still cause no read outside the tables.
template <typename T>
void raiseSome(FuzzedDataProvider& in, Plane<T>& p, int width, int height, int max, int limit,
               int first, int last) {
    if (max >= limit || !in.ConsumeBool()) return;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = first; c <= last; ++c)
                if (in.ConsumeIntegral<std::uint8_t>() < 64)
                    p.store[std::size_t(p.at(c, x, y))] =
                        T(in.ConsumeIntegralInRange<int>(max + 1, limit));
}

template <typename T>
void runRender(FuzzedDataProvider& in, VRFZephraTable& e, int bytes, bool tablesCurrent) {
    const int width = in.ConsumeIntegralInRange<int>(0, 6);
    const int height = in.ConsumeIntegralInRange<int>(0, 4);
    const int w = width > 0 ? width : 1, h = height > 0 ? height : 1;
    const int limit = bytes == 1 ? 255 : 65535;
    auto within = [&](int max) { return max < limit ? max : limit; };

    Plane<T> dst = makePlane<T>(in, w, h);
    Plane<T> bg = makePlane<T>(in, w, h), fg = makePlane<T>(in, w, h);
    Plane<T> hold = makePlane<T>(in, w, h), garbage = makePlane<T>(in, w, h);
    Plane<T> ref = makePlane<T>(in, w, h);
    for (T& s : dst.store) s = T(bytes == 1 ? 0xA5 : 0xA5C3);
    fillWithin(in, bg, within(e.bgMax));
    fillWithin(in, fg, within(e.fgMax));
    fillWithin(in, hold, within(e.hMatteMax));
    fillWithin(in, garbage, within(e.gMatteMax));
    fillWithin(in, ref, within(e.refMax));
    constexpr int kRed = 0, kBlue = 2, kAlpha = 3;
    raiseSome(in, bg, w, h, within(e.bgMax), limit, kRed, kBlue);
    raiseSome(in, fg, w, h, within(e.fgMax), limit, kRed, kBlue);
    raiseSome(in, ref, w, h, within(e.refMax), limit, kRed, kBlue);
    raiseSome(in, hold, w, h, within(e.hMatteMax), limit, kAlpha, kAlpha);
    raiseSome(in, garbage, w, h, within(e.gMatteMax), limit, kAlpha, kAlpha);

    Ztile tile{};
    tile.dst = dst.view(true, in.ConsumeIntegralInRange<int>(0, 15) != 0);
    tile.bg = bg.view(in.ConsumeIntegralInRange<int>(0, 7) != 0, in.ConsumeBool());
    tile.fg = fg.view(in.ConsumeIntegralInRange<int>(0, 7) != 0, in.ConsumeBool());
    tile.hold = hold.view(false, in.ConsumeBool());
    tile.garbage = garbage.view(false, in.ConsumeBool());
    tile.ref = ref.view(in.ConsumeBool(), false);

    const std::vector<T> before = dst.store;
    const std::vector<T> inputs[] = {bg.store, fg.store, hold.store, garbage.store, ref.store};
    const int result = e.render(bytes, width, height, &tile);

    if (result != 0 && result != 1) fail("render result other than 0 or 1");
    if (!tablesCurrent && result != 0) fail("render refused while the tables are stale");
    const Plane<T>* planes[] = {&bg, &fg, &hold, &garbage, &ref};
    for (int i = 0; i < 5; ++i)
        if (planes[i]->store != inputs[i]) fail("render modified an input");
    if (!tablesCurrent || result != 0 || width == 0 || height == 0) {
        if (dst.store != before) fail("render wrote although it did nothing");
        return;
    }

    // Which samples render may write: r, g, b of every pixel, alpha unless the composite runs
    // without a background alpha. Everything else keeps the sentinel.
    std::vector<char> writable(dst.store.size(), 0);
    const bool alphaOut = !(e.view == 0 && !tile.bg.a);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < (alphaOut ? 4 : 3); ++c) writable[std::size_t(dst.at(c, x, y))] = 1;
    for (std::size_t i = 0; i < dst.store.size(); ++i) {
        if (!writable[i] && dst.store[i] != before[i]) fail("render wrote outside the tile");
        if (writable[i] && dst.store[i] != before[i] && int(dst.store[i]) > e.dstMax)
            fail("render wrote a sample above the output maximum");
    }
    // A sentinel left in place can only be legal when it is itself a valid output value.
    for (std::size_t i = 0; i < dst.store.size(); ++i)
        if (writable[i] && dst.store[i] == before[i] && int(before[i]) > e.dstMax)
            fail("render left an output sample unwritten");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    auto engine = std::make_unique<VRFZephraTable>();
    VRFZephraTable& e = *engine;
    // Start from typical maxima so that short inputs reach the renderer.
    if (in.ConsumeBool()) {
        const int max = anyMax(in);
        e.setFgMax(max);
        e.setBgMax(max);
        e.setRefMax(max);
        e.setGMatteMax(max);
        e.setHMatteMax(max);
        e.setDstMax(anyMax(in));
    }
    const int rounds = in.ConsumeIntegralInRange<int>(1, 3);
    for (int round = 0; round < rounds; ++round) {
        applySetters(in, e);
        const int luts = e.makeLuts();
        if (luts < 0 || luts > 3) fail("makeLuts result outside 0..3");
        if (luts == 0 && e.staleAll) fail("makeLuts succeeded but left the tables stale");
        const bool current = e.staleAll == 0;
        if (in.ConsumeBool())
            runRender<std::uint16_t>(in, e, 2, current);
        else
            runRender<std::uint8_t>(in, e, 1, current);
    }
    return 0;
}
