#include "render_fixture.h"

#include <algorithm>

#include "engine/tables/ZephraColourPairs.h"

namespace render_test {

namespace {

// A value in lo .. hi, one of the two ends in one draw of five.
int edgy(Rng& rng, int lo, int hi) {
    const int pick = uniform(rng, 0, 9);
    if (pick == 0) return lo;
    if (pick == 1) return hi;
    return uniform(rng, lo, hi);
}

void fillTable(Rng& rng, std::int16_t* table, int entries, int lo, int hi) {
    for (int i = 0; i < entries; ++i) table[i] = std::int16_t(edgy(rng, lo, hi));
}

}  // namespace

void randomParameters(Rng& rng, VRFZephraTable& e, int colourspace) {
    e.setColourspace(colourspace);
    for (int attempt = 0; attempt < 100; ++attempt) {
        // A screen with one clearly dominant channel.
        float s[3] = {uniformF(rng, 0.0f, 0.4f), uniformF(rng, 0.0f, 0.4f),
                      uniformF(rng, 0.0f, 0.4f)};
        s[uniform(rng, 0, 2)] = uniformF(rng, 0.5f, 1.0f);
        e.setScreen(s[0], s[1], s[2]);
        e.setScreenRange(chance(rng, 40) ? 0.0f : uniformF(rng, 0.0f, 1.0f));
        e.setReplace(uniformF(rng, 0, 1), uniformF(rng, 0, 1), uniformF(rng, 0, 1));
        e.setBackground(uniformF(rng, 0, 1), uniformF(rng, 0, 1), uniformF(rng, 0, 1));
        e.setMp(uniformF(rng, 0.1f, 0.9f), uniformF(rng, 0.1f, 0.9f), uniformF(rng, 0.1f, 0.9f));
        if (chance(rng, 50))
            e.setNeutral(uniformF(rng, 0.3f, 0.7f), uniformF(rng, 0.3f, 0.7f),
                         uniformF(rng, 0.3f, 0.7f));
        for (int i = 0; i < 3; ++i) {
            e.setBalance(i, uniformF(rng, 0, 1));
            e.setGain(i, uniformF(rng, -0.5f, 0.5f));
        }
        for (int set = 0; set < 2; ++set) {
            e.setExposure(uniformF(rng, 0.5f, 1.5f), uniformF(rng, 0.5f, 1.5f),
                          uniformF(rng, 0.5f, 1.5f), set);
            e.setGamma(uniformF(rng, 0.6f, 1.6f), uniformF(rng, 0.6f, 1.6f),
                       uniformF(rng, 0.6f, 1.6f), set);
            e.setOffset(uniformF(rng, -0.1f, 0.1f), uniformF(rng, -0.1f, 0.1f),
                        uniformF(rng, -0.1f, 0.1f), set);
            e.setSaturation(chance(rng, 40) ? 1.0f : uniformF(rng, 0.0f, 3.0f), set);
        }
        if (e.makeLuts() == 0) return;
    }
}

void randomTables(Rng& rng, VRFZephraTable& e) {
    for (int c = 0; c < 3; ++c) {
        fillTable(rng, e.fgLut[c], e.fgMax + 1, 0, 16383);
        // Projection contributions around the useful 0 .. 4095 window and beyond it.
        fillTable(rng, e.fgScreenLut[c], e.fgMax + 1, -2500, 3500);
        fillTable(rng, e.bgLut[c], e.bgMax + 1, 0, 16383);
        fillTable(rng, e.fgCorrectLut[c], 16384, 0, 16383);
        for (int i = 0; i < 16384; ++i) e.outLut[c][i] = std::uint16_t(uniform(rng, 0, e.dstMax));
        if (e.refLut[c]) {
            fillTable(rng, e.refLut[c], e.refMax + 1, 0, 16383);
            fillTable(rng, e.refScreenLut[c], e.refMax + 1, -1500, 3000);
            e.refFallbackInt[c] = edgy(rng, 0, 16383);
        }
        e.screenInt[c] = edgy(rng, 0, 16383);
        e.replaceInt[c] = edgy(rng, 0, 16383);
        e.backgroundInt[c] = std::int16_t(edgy(rng, 0, 16383));
    }
    e.refFallbackSum = edgy(rng, 1, 9000);
    // Screen amounts around 1.0 (4096), up to the 16384 cap.
    for (int i = 0; i < 4096; ++i) {
        const int pick = uniform(rng, 0, 9);
        e.screenLut[i] = std::int16_t(pick < 2 ? 4096 + uniform(rng, -1, 1)
                                               : (pick < 3 ? 16384 : uniform(rng, 0, 6000)));
    }
    fillTable(rng, e.matteLut, 4097, 0, 4096);
    if (e.holdLut) fillTable(rng, e.holdLut, e.hMatteMax + 1, 0, 4096);
    if (e.garbageLut) fillTable(rng, e.garbageLut, e.gMatteMax + 1, 0, 4096);
    // The renderer reads the foreground's tables through their pairs.
    zephra::buildColourPairs(e);
    // Matrices with large entries too: the row sums must not overflow.
    for (int k = 0; k < 2; ++k)
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                e.satMatrix[k][i][j] = chance(rng, 10) ? uniform(rng, -20000000, 20000000)
                                                       : uniform(rng, -6000, 12000);
}

std::unique_ptr<VRFZephraTable> makeEngine(Rng& rng, int sampleMax, int dstMax, int colourspace,
                                           bool useRef, bool useHold, bool useGarbage) {
    auto e = std::make_unique<VRFZephraTable>();
    e->setFgMax(sampleMax);
    e->setBgMax(sampleMax);
    e->setRefMax(sampleMax);
    e->setHMatteMax(sampleMax);
    e->setGMatteMax(sampleMax);
    e->setDstMax(dstMax);
    e->useRef(useRef);
    e->useHold(useHold);
    e->useGarbage(useGarbage);
    randomParameters(rng, *e, colourspace);
    return e;
}

}  // namespace render_test
