// Samples above their input's maximum: every input (foreground, background with and without a
// foreground, reference, hold-out and garbage mattes) at maxima below its sample type's range,
// in 8-bit and 16-bit tiles. Such a sample must key exactly like the maximum itself, and the
// same tile with every sample in range must still match the reference pixel. The sanitizer
// builds catch any read past a table's end.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "render_fixture.h"

namespace {

using namespace render_test;
using zephra::RenderIsa;

enum class Input { fg, bg, bgOnly, ref, hold, garbage };

// Each input with its maximum; the other inputs keep their sample type's whole range, so that
// the input under test is the only one whose table may be short.
struct BoundsCase {
    Input input;
    const char* name;
    void (VRFZephraTable::*setMax)(int);
    int VRFZephraTable::*max;
};

const BoundsCase kInputs[] = {
    {Input::fg, "fg", &VRFZephraTable::setFgMax, &VRFZephraTable::fgMax},
    {Input::bg, "bg", &VRFZephraTable::setBgMax, &VRFZephraTable::bgMax},
    {Input::bgOnly, "bg only", &VRFZephraTable::setBgMax, &VRFZephraTable::bgMax},
    {Input::ref, "ref", &VRFZephraTable::setRefMax, &VRFZephraTable::refMax},
    {Input::hold, "hold", &VRFZephraTable::setHMatteMax, &VRFZephraTable::hMatteMax},
    {Input::garbage, "garbage", &VRFZephraTable::setGMatteMax, &VRFZephraTable::gMatteMax}};

// Maxima below each sample type's range: 16-bit tiles meet both table sizes.
constexpr int kMaxima8[] = {1, 100, 254};
constexpr int kMaxima16[] = {100, 255, 1023, 65534};

constexpr int kWidth = 70;  // a chunk of 64 and a shorter one
constexpr int kHeight = 3;

template <typename T>
Image<T>& imageOf(RandomTile<T>& tile, Input input) {
    switch (input) {
        case Input::fg:
            return tile.fg;
        case Input::ref:
            return tile.ref;
        case Input::hold:
            return tile.hold;
        case Input::garbage:
            return tile.garbage;
        default:
            return tile.bg;
    }
}

// The channels of an input that index its tables: the mattes' alpha, the others' colour (the
// background's alpha is a factor, not an index).
std::vector<int> indexedChannels(Input input) {
    if (input == Input::hold || input == Input::garbage) return {3};
    return {0, 1, 2};
}

template <typename T>
void expectAboveKeysLikeMaximum(VRFZephraTable& e, RenderIsa isa, const BoundsCase& c, Rng& rng,
                                const std::string& what) {
    const Input input = c.input;
    RandomTile<T> tile(rng, e, kWidth, kHeight);
    if (input == Input::bgOnly) tile.tile.fg = TileImage{};
    tile.expectReference(e, isa, tile.dst, what + ", every sample in range");

    // Half the samples raised above the maximum, the ends of the range often.
    Image<T>& image = imageOf(tile, input);
    const int max = e.*c.max;
    const int typeMax = sizeof(T) == 1 ? 255 : 65535;
    ASSERT_LT(max, typeMax);
    std::vector<std::array<int, 3>> raised;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            for (int channel : indexedChannels(input)) {
                if (!chance(rng, 50)) continue;
                const int pick = uniform(rng, 0, 3);
                image.sample(channel, x, y) =
                    T(pick == 0 ? max + 1 : (pick == 1 ? typeMax : uniform(rng, max + 1, typeMax)));
                raised.push_back({channel, x, y});
            }
    ASSERT_FALSE(raised.empty());
    fillSentinel(tile.dst);
    ASSERT_EQ(zephra::renderWithIsa(e, isa, int(sizeof(T)), kWidth, kHeight, &tile.tile), 0)
        << what;
    const std::vector<T> above = tile.dst.store;

    // The same tile with those samples at the maximum, checked against the reference pixel.
    for (const auto& at : raised) image.sample(at[0], at[1], at[2]) = T(max);
    fillSentinel(tile.dst);
    tile.expectReference(e, isa, tile.dst, what + ", raised samples at the maximum");
    EXPECT_EQ(above, tile.dst.store) << what << ": a sample above the maximum keys unlike it";
}

class RenderBounds : public testing::TestWithParam<RenderIsa> {};

TEST_P(RenderBounds, SampleAboveItsMaximumKeysLikeTheMaximum) {
    const RenderIsa isa = GetParam();
    Rng rng(20261206);
    for (int bytes : {1, 2}) {
        const std::vector<int> maxima =
            bytes == 1 ? std::vector<int>(std::begin(kMaxima8), std::end(kMaxima8))
                       : std::vector<int>(std::begin(kMaxima16), std::end(kMaxima16));
        for (int max : maxima) {
            for (const BoundsCase& c : kInputs) {
                const int typeMax = bytes == 1 ? 255 : 65535;
                auto e = makeEngine(rng, typeMax, typeMax, uniform(rng, 0, 2),
                                    c.input == Input::ref, true, true);
                ((*e).*c.setMax)(max);
                ASSERT_EQ(e->makeLuts(), 0);
                for (int view : {0, 2, 4}) {
                    e->view = view;
                    const std::string what = std::string(c.name) + ", " +
                                             std::to_string(8 * bytes) + "-bit, maximum " +
                                             std::to_string(max) + ", view " + std::to_string(view);
                    if (bytes == 1)
                        expectAboveKeysLikeMaximum<std::uint8_t>(*e, isa, c, rng, what);
                    else
                        expectAboveKeysLikeMaximum<std::uint16_t>(*e, isa, c, rng, what);
                    if (HasFatalFailure()) return;
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryInstructionSet, RenderBounds,
                         testing::ValuesIn(zephra::availableRenderIsas()), isaTestName);

}  // namespace
