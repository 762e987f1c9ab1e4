#pragma once

// The renderer's own form of the foreground's two input tables. Every foreground sample is
// looked up twice per pixel, once in fgLut (its colour in internal units) and once in
// fgScreenLut (its contribution to the screen projection). The colour-pair table of a channel
// holds both entries of a sample side by side in one 32-bit word: one load per channel
// instead of two, one cache line per sample instead of two, and three table pointers to keep
// in registers instead of six.
//
// An entry holds the colour in its high 16 bits and the projection in its low 16 bits, each
// as the 16-bit pattern of the int16 entry it copies. Each pair table has exactly as many
// entries as the two tables it copies (see ZephraInputTables.h), is rebuilt from them whenever
// either is rebuilt, and above the maximum repeats its entry at the maximum as they do.

#include <cstdint>

class VRFZephraTable;

namespace zephra {

using ColourPair = std::uint32_t;

constexpr int kColourPairShift = 16;
constexpr ColourPair kProjectionBits = 0xFFFFu;

constexpr ColourPair colourPairOf(std::int16_t colour, std::int16_t projection) {
    return (ColourPair(std::uint16_t(colour)) << kColourPairShift) | std::uint16_t(projection);
}

// The int16 entries back, sign and all.
constexpr int pairedColour(ColourPair pair) {
    return std::int16_t(std::uint16_t(pair >> kColourPairShift));
}
constexpr int pairedProjection(ColourPair pair) {
    return std::int16_t(std::uint16_t(pair & kProjectionBits));
}

// Fills the three pair tables from entries 0 .. fgMax of fgLut and fgScreenLut, and the
// entries above fgMax with the pair at fgMax. The pair tables and both sources must be
// allocated for the current fgMax.
void buildColourPairs(VRFZephraTable& e);

}  // namespace zephra
