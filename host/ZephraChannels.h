#pragma once

// Samples and channels of the host's pixels as the keyer node addresses them. Samples of a
// pixel are stored A, B, G, R; a channel mask has one bit per sample (A 1, B 2, G 4, R 8).
// A channel letter selects one channel of a matte input: 'R', 'G' or 'B' that colour, any
// other character alpha. Standard C++ only: the Python module shares the letter rules.

// Index of a sample within a pixel.
enum ZephraSample : int { kSampleA = 0, kSampleB = 1, kSampleG = 2, kSampleR = 3 };

// Channel masks: one bit per sample index.
enum ZephraChannelMask : int {
    kMaskA = 1 << kSampleA,
    kMaskColour = (1 << kSampleB) | (1 << kSampleG) | (1 << kSampleR),  // R, G, B: no alpha
    kMaskAll = kMaskA | kMaskColour,
};

// The letter's sample index within a pixel: R, G or B that colour, anything else alpha.
inline int zephraLetterSample(char letter) {
    switch (letter) {
        case 'R':
            return kSampleR;
        case 'G':
            return kSampleG;
        case 'B':
            return kSampleB;
        default:
            return kSampleA;
    }
}

// The letter's channel mask bit.
inline int zephraLetterMask(char letter) { return 1 << zephraLetterSample(letter); }

inline bool zephraLetterIsColour(char letter) { return zephraLetterSample(letter) != kSampleA; }
