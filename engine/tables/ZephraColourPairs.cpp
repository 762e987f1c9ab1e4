#include "engine/tables/ZephraColourPairs.h"

#include <algorithm>
#include <cstddef>

#include "engine/VRFZephraTable.h"
#include "engine/tables/ZephraInputTables.h"

namespace zephra {

void buildColourPairs(VRFZephraTable& e) {
    const std::size_t last = std::size_t(e.fgMax);
    const std::size_t entries = inputTableEntries(e.fgMax);
    for (int c = 0; c < 3; ++c) {
        const std::int16_t* const colour = e.fgLut[c];
        const std::int16_t* const projection = e.fgScreenLut[c];
        ColourPair* const pairs = e.fgColourPairs[c];
        for (std::size_t i = 0; i <= last; ++i) pairs[i] = colourPairOf(colour[i], projection[i]);
        // Above the maximum both tables repeat their entry at the maximum, and so do the pairs.
        std::fill(pairs + last + 1, pairs + entries, pairs[last]);
    }
}

}  // namespace zephra
