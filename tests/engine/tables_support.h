#pragma once

// Helpers shared by the engine's and the C interface's tests: engines on the heap, their
// parameters, and a copy of every table an engine has built, for comparing two engines or one
// engine before and after.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/VRFZephraTable.h"

namespace tables_test {

inline std::unique_ptr<VRFZephraTable> makeEngine() { return std::make_unique<VRFZephraTable>(); }

// Every parameter an engine holds, as numbers in a fixed order.
inline std::vector<float> parametersOf(const VRFZephraTable& e) {
    std::vector<float> v;
    auto add = [&v](const float* p, int n) { v.insert(v.end(), p, p + n); };
    add(e.screen, 3);
    add(e.neutral, 3);
    add(e.replace, 3);
    add(e.background, 3);
    add(e.balance, 3);
    add(e.gain, 3);
    add(e.mp, 3);
    add(&e.screenRange, 1);
    for (int set = 0; set < 2; ++set) {
        add(e.exposure[set], 3);
        add(e.gamma[set], 3);
        add(e.offset[set], 3);
        add(&e.saturation[set], 1);
    }
    for (int i : {e.colourspace, e.view, e.fgMax, e.bgMax, e.gMatteMax, e.hMatteMax, e.dstMax,
                  e.refMax, e.useHoldOn, e.useGarbageOn, e.useRefOn})
        v.push_back(float(i));
    return v;
}

// Every table that the engine's switches make current after a successful makeLuts, by
// name, flattened to ints.
using Snapshot = std::vector<std::pair<std::string, std::vector<int>>>;

template <typename T>
std::vector<int> flat(const T* p, std::size_t n) {
    return std::vector<int>(p, p + n);
}

inline Snapshot snapshot(const VRFZephraTable& e) {
    Snapshot s;
    const char* rgb = "rgb";
    for (int c = 0; c < 3; ++c) {
        const std::string ch(1, rgb[c]);
        s.emplace_back("fgLut." + ch, flat(e.fgLut[c], e.fgMax + 1));
        s.emplace_back("bgLut." + ch, flat(e.bgLut[c], e.bgMax + 1));
        s.emplace_back("fgScreenLut." + ch, flat(e.fgScreenLut[c], e.fgMax + 1));
        s.emplace_back("fgCorrectLut." + ch, flat(e.fgCorrectLut[c], 16384));
        s.emplace_back("outLut." + ch, flat(e.outLut[c], 16384));
        if (e.useRefOn) {
            s.emplace_back("refLut." + ch, flat(e.refLut[c], e.refMax + 1));
            s.emplace_back("refScreenLut." + ch, flat(e.refScreenLut[c], e.refMax + 1));
        }
    }
    if (e.useRefOn) {
        s.emplace_back("refFallbackInt", flat(e.refFallbackInt, 3));
        s.emplace_back("refFallbackSum", std::vector<int>{e.refFallbackSum});
    } else {
        s.emplace_back("screenLut", flat(e.screenLut, 4096));
    }
    if (e.useHoldOn) s.emplace_back("holdLut", flat(e.holdLut, e.hMatteMax + 1));
    if (e.useGarbageOn) s.emplace_back("garbageLut", flat(e.garbageLut, e.gMatteMax + 1));
    s.emplace_back("matteLut", flat(e.matteLut, 4097));
    s.emplace_back("satMatrix", flat(&e.satMatrix[0][0][0], 18));
    s.emplace_back("screenInt", flat(e.screenInt, 3));
    s.emplace_back("replaceInt", flat(e.replaceInt, 3));
    s.emplace_back("backgroundInt", flat(e.backgroundInt, 3));
    return s;
}

// Names of the tables whose contents differ between two snapshots of the same layout.
inline std::vector<std::string> differing(const Snapshot& a, const Snapshot& b) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (a[i].first != b[i].first || a[i].second != b[i].second) names.push_back(a[i].first);
    }
    if (a.size() != b.size()) names.push_back("<layout>");
    return names;
}

}  // namespace tables_test
