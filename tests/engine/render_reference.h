#pragma once

#include <cstdint>

#include "engine/VRFZephraTable.h"

// A plain reference of the renderer's per-pixel work, written straight from the rules and
// kept deliberately naive: every value is a 64-bit integer, shifts are floor divisions by
// 4096, divisions are C++ integer divisions, and every step reads the engine's own fields.
// The compiled pixel loops are checked against it.

namespace render_ref {

using I64 = std::int64_t;

// Rounding toward minus infinity, as an arithmetic shift right by 12 does.
inline I64 floorDiv4096(I64 v) {
    I64 q = v / 4096;
    if (v % 4096 != 0 && v < 0) q -= 1;
    return q;
}

inline bool matrixInUse(const VRFZephraTable& e, int k) { return e.saturation[k] != 1.0f; }

// Matrix k times the colour c, each row rounded, then 0 or less -> 0, above 16382 -> 16383.
inline void applyMatrix(const VRFZephraTable& e, int k, I64 c[3]) {
    I64 out[3];
    for (int i = 0; i < 3; ++i) {
        I64 sum = 0;
        for (int j = 0; j < 3; ++j) sum += I64(e.satMatrix[k][i][j]) * c[j];
        I64 v = floorDiv4096(sum + 2048);
        if (v <= 0) v = 0;
        if (v > 16382) v = 16383;
        out[i] = v;
    }
    for (int i = 0; i < 3; ++i) c[i] = out[i];
}

struct Inputs {
    I64 fg[3] = {0, 0, 0};
    I64 bg[3] = {0, 0, 0};
    I64 bgAlpha = 0;
    bool hasBgAlpha = false;
    I64 ref[3] = {0, 0, 0};
    I64 hold = 0;
    I64 garbage = 0;
};

struct Which {
    bool ref = false;
    bool hold = false;
    bool garbage = false;
    bool alphaOut = false;
};

// What one pixel writes: r, g, b always, a when writesAlpha. Values in output units, before
// the store keeps the low byte of an 8-bit sample.
struct Outputs {
    I64 rgba[4] = {0, 0, 0, 0};
    bool writesAlpha = false;
};

struct KeyedResult {
    I64 v[3];
    I64 m;
    I64 d;
};

// The keyed pixel, steps 1 to 10.
inline KeyedResult keyed(const VRFZephraTable& e, const Which& w, const Inputs& in) {
    I64 F[3];
    for (int c = 0; c < 3; ++c) F[c] = e.fgLut[c][in.fg[c]];  // 1
    I64 P = 0;
    for (int c = 0; c < 3; ++c) P += e.fgScreenLut[c][in.fg[c]];  // 2

    I64 S;  // 3
    I64 K[3];
    if (!w.ref) {
        I64 index = P;
        if (index < 0) index = 0;
        if (index > 4095) index = 4095;
        S = e.screenLut[index];
        for (int c = 0; c < 3; ++c) K[c] = e.screenInt[c];
    } else {
        I64 R[3];
        I64 Q = 0;
        for (int c = 0; c < 3; ++c) {
            R[c] = e.refLut[c][in.ref[c]];
            Q += e.refScreenLut[c][in.ref[c]];
        }
        if (Q <= 0) {
            for (int c = 0; c < 3; ++c) R[c] = e.refFallbackInt[c];
            Q = e.refFallbackSum;
        }
        if (P <= 0) {
            S = 0;
        } else {
            S = (P * 4096) / Q;
            if (S > 16384) S = 16384;
        }
        for (int c = 0; c < 3; ++c) K[c] = R[c];
    }

    for (int c = 0; c < 3; ++c) {  // 4
        F[c] = F[c] - floorDiv4096(S * K[c] + 2048);
        if (F[c] < 0) F[c] = 0;
    }

    I64 A = S > 4096 ? 0 : 4096 - S;  // 5

    I64 D = 0;  // 6
    if (w.hold && A != 4096 && in.hold != 0) {
        const I64 H = e.holdLut[in.hold];
        D = floorDiv4096((4096 - A) * H);
        for (int c = 0; c < 3; ++c) F[c] = F[c] + floorDiv4096(D * e.replaceInt[c]);
        A = A + D;
        for (int c = 0; c < 3; ++c)
            if (F[c] > 16383) F[c] = 16383;
    }

    I64 X = F[0];  // 7
    if (F[1] > X) X = F[1];
    if (F[2] > X) X = F[2];
    if (X * 4096 > A * 16383) {
        A = (X * 4096) / 16383;
        for (int c = 0; c < 3; ++c) F[c] = (F[c] * 16383) / X;
    } else if (A > 0) {
        for (int c = 0; c < 3; ++c) F[c] = (F[c] * 4096) / A;
    }

    KeyedResult r;
    for (int c = 0; c < 3; ++c) r.v[c] = e.fgCorrectLut[c][F[c]];  // 8
    if (matrixInUse(e, 0)) applyMatrix(e, 0, r.v);

    I64 M = e.matteLut[A];  // 9

    if (w.garbage && in.garbage != 0) {  // 10
        const I64 G = e.garbageLut[in.garbage];
        M = G - floorDiv4096((4096 - M) * G);
    }
    r.m = M;
    r.d = D;
    return r;
}

inline I64 scaled(const VRFZephraTable& e, I64 m) { return floorDiv4096(I64(e.dstMax) * m + 2048); }

// The keyed pixel followed by the output stage of the engine's view.
inline Outputs keyedPixel(const VRFZephraTable& e, const Which& w, const Inputs& in) {
    const KeyedResult k = keyed(e, w, in);
    Outputs out;
    I64 M = k.m;
    const I64 dstMax = e.dstMax;
    if (e.view == 2) {
        const I64 value = scaled(e, M);
        out.rgba[0] = out.rgba[1] = out.rgba[2] = value;
    } else if (e.view == 5) {
        const I64 q = dstMax / 4;
        auto share = [&](I64 f) { return q + floorDiv4096((dstMax - q) * f); };
        if (M == 0) {
            out.rgba[0] = out.rgba[1] = out.rgba[2] = 0;
        } else if (M == 4096) {
            out.rgba[0] = share(k.d);
            out.rgba[1] = 0;
            out.rgba[2] = dstMax;
        } else {
            out.rgba[0] = share(k.d);
            out.rgba[1] = share(M);
            out.rgba[2] = 0;
        }
    } else if (e.view == 0) {
        I64 B[3];
        for (int c = 0; c < 3; ++c) B[c] = e.bgLut[c][in.bg[c]];
        if (matrixInUse(e, 1)) applyMatrix(e, 1, B);
        for (int c = 0; c < 3; ++c) {
            const I64 O = B[c] + floorDiv4096((k.v[c] - B[c]) * M + 2048);
            out.rgba[c] = e.outLut[c][O];
        }
        if (w.alphaOut && in.bgAlpha != 0) M = M + ((4096 - M) * in.bgAlpha) / e.bgMax;
    } else if (e.view == 1) {
        for (int c = 0; c < 3; ++c) {
            const I64 K = e.backgroundInt[c];
            const I64 O = K + floorDiv4096((k.v[c] - K) * M + 2048);
            out.rgba[c] = e.outLut[c][O];
        }
    } else {
        for (int c = 0; c < 3; ++c) out.rgba[c] = e.outLut[c][k.v[c]];
    }
    if (w.alphaOut) {
        out.rgba[3] = scaled(e, M);
        out.writesAlpha = true;
    }
    return out;
}

// A pixel of a tile without foreground: the corrected background in every view. A
// background without alpha counts as opaque.
inline Outputs backgroundPixel(const VRFZephraTable& e, const Which& w, const Inputs& in) {
    Outputs out;
    I64 B[3];
    for (int c = 0; c < 3; ++c) B[c] = e.bgLut[c][in.bg[c]];
    if (matrixInUse(e, 1)) applyMatrix(e, 1, B);
    for (int c = 0; c < 3; ++c) out.rgba[c] = e.outLut[c][B[c]];
    if (w.alphaOut) {
        out.rgba[3] = in.hasBgAlpha ? in.bgAlpha * e.dstMax / e.bgMax : e.dstMax;
        out.writesAlpha = true;
    }
    return out;
}

}  // namespace render_ref
