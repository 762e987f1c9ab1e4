// The choice of instruction set: what the processor is offered, and that every set keys a
// frame laid out as the host lays it out to the same bytes as the engine's own entry.

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>

#include "render_fixture.h"

namespace {

using namespace render_test;
using zephra::RenderIsa;

TEST(RenderDispatch, PortableAlwaysOfferedAndPreferredLast) {
    const std::vector<RenderIsa> sets = zephra::availableRenderIsas();
    ASSERT_FALSE(sets.empty());
    EXPECT_EQ(sets.front(), RenderIsa::portable);
    EXPECT_EQ(sets.back(), zephra::preferredRenderIsa());
    std::set<std::string> names;
    for (RenderIsa isa : sets) names.insert(zephra::renderIsaName(isa));
    EXPECT_EQ(names.size(), sets.size()) << "every set has a name of its own";
}

// A frame wide enough for many chunks and a partial last one, every view, with and without
// the mattes, in the host's layout (the loops with the most specialisation): the engine's
// entry and every instruction set write the same bytes.
template <typename T>
void checkSetsAgree(int bytes) {
    Rng rng(515 + bytes);
    const int max = bytes == 1 ? 255 : 65535;
    const int width = 333, height = 5;
    auto e = makeEngine(rng, max, max, 1, false, true, true);
    Image<T> fg = interleavedImage<T>(width, height), bg = fg, mattes = fg;
    fillRandom(rng, fg, max);
    fillRandom(rng, bg, max);
    fillRandom(rng, mattes, max);
    for (int view : {0, 1, 2, 4, 5}) {
        for (bool withMattes : {false, true}) {
            e->view = view;
            e->useHoldOn = withMattes;
            e->useGarbageOn = withMattes;
            auto keyed = [&](auto render) {
                Image<T> out = fg;
                fillSentinel(out);
                Ztile tile{};
                tile.fg = fg.view();
                tile.bg = bg.view();
                tile.hold = mattes.view();
                tile.garbage = mattes.view();
                tile.garbage.a = tile.hold.b;
                tile.dst = out.view();
                EXPECT_EQ(render(tile), 0);
                return out.store;
            };
            const auto expected =
                keyed([&](const Ztile& tile) { return e->render(bytes, width, height, &tile); });
            for (RenderIsa isa : zephra::availableRenderIsas()) {
                const auto got = keyed([&](const Ztile& tile) {
                    return zephra::renderWithIsa(*e, isa, bytes, width, height, &tile);
                });
                EXPECT_EQ(got, expected) << zephra::renderIsaName(isa) << ", view " << view
                                         << ", mattes " << withMattes << ", " << bytes << " bytes";
            }
        }
    }
}

TEST(RenderDispatch, EverySetKeysLikeTheEngineEntry) {
    checkSetsAgree<std::uint8_t>(1);
    checkSetsAgree<std::uint16_t>(2);
}

}  // namespace
