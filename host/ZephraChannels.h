#pragma once

// A channel letter selects one channel of a matte input: 'R', 'G' or 'B' that colour, any
// other character alpha. Samples of a pixel are stored A, B, G, R.

// The letter's sample index within a pixel: R 3, G 2, B 1, anything else 0 (alpha).
inline int zephraLetterSample(char letter) {
    switch (letter) {
        case 'R':
            return 3;
        case 'G':
            return 2;
        case 'B':
            return 1;
        default:
            return 0;
    }
}

// The letter's channel mask bit: R 8, G 4, B 2, anything else 1 (alpha).
inline int zephraLetterMask(char letter) { return 1 << zephraLetterSample(letter); }

inline bool zephraLetterIsColour(char letter) { return zephraLetterSample(letter) != 0; }
