#ifndef ZEPHRA_ZTILE_H
#define ZEPHRA_ZTILE_H

/*
 * The tile record handed to the keyer's renderer. Plain C so that any caller can fill it
 * without the engine class. Every pointer addresses samples of the tile's one sample width
 * (unsigned 8-bit or unsigned 16-bit, chosen by the render call); steps count samples, not
 * bytes. The sample of pixel (x, y) of a channel is at channel[x * pixelStep + y * rowStep].
 */

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

#endif
