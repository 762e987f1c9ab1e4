#pragma once

/*
 * The tile record handed to the keyer's renderer. Plain C so that any caller can fill it
 * without the engine class. Every pointer addresses samples of the tile's one sample width
 * (unsigned 8-bit or unsigned 16-bit, chosen by the render call); steps count samples, not
 * bytes. The sample of pixel (x, y) of a channel is at channel[x * pixelStep + y * rowStep].
 */

#include <stddef.h>

typedef struct TileImage {
    void* r;       /* red channel of the tile's first pixel */
    void* g;       /* green channel */
    void* b;       /* blue channel */
    void* a;       /* alpha; for the hold-out and garbage mattes, the selected matte channel */
    int pixelStep; /* samples from one pixel to the next along a row */
    int rowStep;   /* samples from one row to the next */
} TileImage;

typedef struct Ztile {
    TileImage dst;     /* output: r, g, b always written, a with the alpha output on */
    TileImage bg;      /* background plate */
    TileImage fg;      /* foreground, the shot to key; its alpha is never read */
    TileImage hold;    /* hold-out matte: only a */
    TileImage garbage; /* garbage matte: only a */
    TileImage ref;     /* reference (clean screen) plate; its alpha is never read */
} Ztile;

/*
 * Layout checks. The record crosses the boundary between separately built code, so its
 * layout is fixed: on the 32-bit target every field is 4 bytes and the record is 36 words;
 * elsewhere every field has its natural size and the images follow each other unpadded.
 */
#if defined(__cplusplus)
#define ZTILE_LAYOUT_CHECK(cond, what) static_assert(cond, what)
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#define ZTILE_LAYOUT_CHECK(cond, what) _Static_assert(cond, what)
#else
/* Pre-C11 compilers: a negative array size stops the build. */
#define ZTILE_LAYOUT_CHECK_JOIN2(a, b) a##b
#define ZTILE_LAYOUT_CHECK_JOIN(a, b) ZTILE_LAYOUT_CHECK_JOIN2(a, b)
#define ZTILE_LAYOUT_CHECK(cond, what) \
    typedef char ZTILE_LAYOUT_CHECK_JOIN(ztile_layout_check_, __LINE__)[(cond) ? 1 : -1]
#endif

/* Natural sizes, every target. */
ZTILE_LAYOUT_CHECK(sizeof(TileImage) == 4 * sizeof(void*) + 2 * sizeof(int) &&
                       offsetof(TileImage, pixelStep) == 4 * sizeof(void*) &&
                       offsetof(TileImage, rowStep) == 4 * sizeof(void*) + sizeof(int),
                   "TileImage: four channel pointers then two int steps, unpadded");
ZTILE_LAYOUT_CHECK(sizeof(Ztile) == 6 * sizeof(TileImage) &&
                       offsetof(Ztile, bg) == sizeof(TileImage) &&
                       offsetof(Ztile, fg) == 2 * sizeof(TileImage) &&
                       offsetof(Ztile, hold) == 3 * sizeof(TileImage) &&
                       offsetof(Ztile, garbage) == 4 * sizeof(TileImage) &&
                       offsetof(Ztile, ref) == 5 * sizeof(TileImage),
                   "Ztile: six images dst, bg, fg, hold, garbage, ref, unpadded");

/* The 32-bit target: 144 bytes and the fixed byte offsets that callers rely on. */
#define ZTILE_AT(field, bytes) (sizeof(void*) != 4 || offsetof(Ztile, field) == (bytes))
ZTILE_LAYOUT_CHECK(sizeof(void*) != 4 || (sizeof(int) == 4 && sizeof(Ztile) == 144),
                   "Ztile is 36 words on the 32-bit target");
ZTILE_LAYOUT_CHECK(ZTILE_AT(dst.r, 0) && ZTILE_AT(dst.g, 4) && ZTILE_AT(dst.b, 8) &&
                       ZTILE_AT(dst.a, 12) && ZTILE_AT(dst.pixelStep, 16) &&
                       ZTILE_AT(dst.rowStep, 20),
                   "Ztile.dst offsets");
ZTILE_LAYOUT_CHECK(ZTILE_AT(bg.r, 24) && ZTILE_AT(bg.g, 28) && ZTILE_AT(bg.b, 32) &&
                       ZTILE_AT(bg.a, 36) && ZTILE_AT(bg.pixelStep, 40) && ZTILE_AT(bg.rowStep, 44),
                   "Ztile.bg offsets");
ZTILE_LAYOUT_CHECK(ZTILE_AT(fg.r, 48) && ZTILE_AT(fg.g, 52) && ZTILE_AT(fg.b, 56) &&
                       ZTILE_AT(fg.a, 60) && ZTILE_AT(fg.pixelStep, 64) && ZTILE_AT(fg.rowStep, 68),
                   "Ztile.fg offsets");
ZTILE_LAYOUT_CHECK(ZTILE_AT(hold.r, 72) && ZTILE_AT(hold.b, 80) && ZTILE_AT(hold.a, 84) &&
                       ZTILE_AT(hold.pixelStep, 88) && ZTILE_AT(hold.rowStep, 92),
                   "Ztile.hold offsets");
ZTILE_LAYOUT_CHECK(ZTILE_AT(garbage.r, 96) && ZTILE_AT(garbage.b, 104) &&
                       ZTILE_AT(garbage.a, 108) && ZTILE_AT(garbage.pixelStep, 112) &&
                       ZTILE_AT(garbage.rowStep, 116),
                   "Ztile.garbage offsets");
ZTILE_LAYOUT_CHECK(ZTILE_AT(ref.r, 120) && ZTILE_AT(ref.g, 124) && ZTILE_AT(ref.b, 128) &&
                       ZTILE_AT(ref.a, 132) && ZTILE_AT(ref.pixelStep, 136) &&
                       ZTILE_AT(ref.rowStep, 140),
                   "Ztile.ref offsets");
#undef ZTILE_AT
