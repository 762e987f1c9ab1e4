#pragma once

// How many entries the input tables (fgLut, fgScreenLut, refLut, refScreenLut, bgLut, holdLut,
// garbageLut) have. The renderer indexes them with raw samples and no range test, and callers
// are asked to keep every sample within its input's maximum; a caller that does not (a 16-bit
// picture with a maximum left at 255, a matte above its maximum) must still get a defined
// result, never a read past a table's end.
//
// Chosen: every input table has an entry for every sample its input can hold, and the entries
// above the input's maximum repeat the entry at the maximum, so that a sample above the
// maximum keys exactly like the maximum itself. The alternatives cost more where it matters:
// a range test per sample in the pixel loops slows every render, and a check of the samples
// at the interfaces reads every picture once more. Here the cost is memory and a fill in
// makeLuts, and none at all at the usual maxima (255 and 65535).
//
// An input with a maximum of 255 or less gets 256 entries: enough for 8-bit tiles, and small,
// so that 8-bit keyers keep their tables cheaply. A larger maximum only occurs with 16-bit
// tiles and gets 65536 entries. The one case left, 16-bit tiles over a table of 256 entries, is
// keyed by the renderer through a small staging buffer that holds the samples clamped to 255
// (see ZephraRenderStaged.h); the usual paths never pay for it.

#include <cstddef>
#include <cstdint>

namespace zephra {

constexpr int kLargest8BitSample = 255;
constexpr int kLargest16BitSample = 65535;

// Whether the table of an input with this maximum takes every 16-bit sample.
constexpr bool tableTakesWideSamples(int max) { return max > kLargest8BitSample; }

// The entries of the table of an input with maximum `max` (1 .. 65535).
constexpr std::size_t inputTableEntries(int max) {
    return tableTakesWideSamples(max) ? std::size_t(kLargest16BitSample) + 1
                                      : std::size_t(kLargest8BitSample) + 1;
}

// The largest sample that may index the table of an input with maximum `max`.
constexpr int lastTableIndex(int max) { return int(inputTableEntries(max)) - 1; }

// Fills the entries above `max` with the entry at `max`: a sample above its input's maximum
// keys like the maximum.
inline void repeatLastEntry(std::int16_t* table, int max) {
    const std::int16_t last = table[max];
    const std::size_t end = inputTableEntries(max);
    for (std::size_t i = std::size_t(max) + 1; i < end; ++i) table[i] = last;
}

}  // namespace zephra
