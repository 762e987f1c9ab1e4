/* Compiled as C: the interface header must stand on its own in C, and every function must
   be callable from C. Driven by the C++ test in api_test.cpp. */

#include <stddef.h>

#include "api/zephra.h"

static void countCall(void* data) { ++*(int*)data; }

/* Creates an engine, calls every function once, deletes it. Returns the number of
   callback calls seen, or -1 when a result was not the expected one. */
int apiCallEveryFunctionFromC(void) {
    int calls = 0;
    int ok = 1;
    Ztile tile = {0};
    ZephraHandle h = zephra_new();
    if (h == NULL) return -1;
    zephra_installCallback(h, countCall, &calls);
    ok = ok && zephra_render(h, 2, 1, 1, &tile) == 0; /* stale: nothing to do */
    zephra_setFgMax(h, 255);                          /* unchanged: no call */
    zephra_setBgMax(h, 1023);
    zephra_setRefMax(h, 1023);
    zephra_setGMatteMax(h, 1023);
    zephra_setHMatteMax(h, 1023);
    zephra_setDstMax(h, 1023);
    zephra_useHold(h, 0);
    zephra_useGarbage(h, 0);
    zephra_useRef(h, 0);
    zephra_setColourspace(h, 0);
    zephra_setScreen(h, 0.1f, 0.8f, 0.2f);
    zephra_setNeutral(h, 0.4f, 0.5f, 0.5f);
    zephra_setReplace(h, 0.5f, 0.5f, 0.5f);
    zephra_setBackground(h, 0.2f, 0.2f, 0.2f);
    zephra_setBalance(h, 0, 0.4f);
    zephra_setGain(h, 2, 0.1f);
    zephra_setMp(h, 0.4f, 0.4f, 0.4f);
    zephra_setScreenRange(h, 0.1f);
    zephra_setExposure(h, 1.1f, 1.0f, 1.0f, 0);
    zephra_setGamma(h, 1.0f, 1.2f, 1.0f, 1);
    zephra_setOffset(h, 0.0f, 0.0f, 0.05f, 0);
    zephra_setSaturation(h, 0.8f, 1);
    zephra_setView(h, 5);
    ok = ok && zephra_getView(h) == 5;
    ok = ok && zephra_makeLuts(h) == 0;
    ok = ok && zephra_makeLuts(h) == 0;
    ok = ok && calls == 22;
    zephra_delete(h); /* one more call, from freeing the tables */
    zephra_delete(NULL);
    return ok ? calls : -1;
}
