#pragma once

/*
 * Procedural interface to the keyer engine. Every function forwards to one operation of
 * one engine, reached through the handle given first. Usable from C and C++.
 *
 * Calling order: zephra_new; optionally zephra_installCallback; the sample maxima and the
 * input switches; any parameter setters; zephra_makeLuts (go on only when it returns 0);
 * zephra_render for each tile (calls for different tiles may run at the same time on one
 * handle); back to the setters whenever parameters change; zephra_delete.
 */

#include "engine/ZephraExport.h"
#include "engine/Ztile.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Opaque pointer to one engine. */
#ifdef __cplusplus
class VRFZephraTable;
typedef VRFZephraTable* ZephraHandle;
#else
typedef struct VRFZephraTable* ZephraHandle;
#endif
/* Change notification: called with the data pointer given at installation. */
typedef void (*ZephraCallback)(void* data);

ZEPHRA_EXPORT ZephraHandle zephra_new(void);
ZEPHRA_EXPORT void zephra_delete(ZephraHandle handle);
ZEPHRA_EXPORT void zephra_installCallback(ZephraHandle handle, ZephraCallback fn, void* data);

ZEPHRA_EXPORT void zephra_setColourspace(ZephraHandle handle, int id);
ZEPHRA_EXPORT void zephra_setScreen(ZephraHandle handle, float r, float g, float b);
ZEPHRA_EXPORT void zephra_setNeutral(ZephraHandle handle, float r, float g, float b);
ZEPHRA_EXPORT void zephra_setReplace(ZephraHandle handle, float r, float g, float b);
ZEPHRA_EXPORT void zephra_setBackground(ZephraHandle handle, float r, float g, float b);
ZEPHRA_EXPORT void zephra_setBalance(ZephraHandle handle, int which, float v);
ZEPHRA_EXPORT void zephra_setGain(ZephraHandle handle, int which, float v);
ZEPHRA_EXPORT void zephra_setMp(ZephraHandle handle, float r, float g, float b);
ZEPHRA_EXPORT void zephra_setScreenRange(ZephraHandle handle, float v);
ZEPHRA_EXPORT void zephra_setExposure(ZephraHandle handle, float r, float g, float b, int set);
ZEPHRA_EXPORT void zephra_setGamma(ZephraHandle handle, float r, float g, float b, int set);
ZEPHRA_EXPORT void zephra_setOffset(ZephraHandle handle, float r, float g, float b, int set);
ZEPHRA_EXPORT void zephra_setSaturation(ZephraHandle handle, float v, int set);
ZEPHRA_EXPORT void zephra_setView(ZephraHandle handle, int id);
ZEPHRA_EXPORT int zephra_getView(ZephraHandle handle);
/* The largest sample value of each input and of the output: 255 for 8-bit pictures, 65535 for
   16-bit ones (or less, for fewer significant bits). Keep every input sample within its
   input's maximum. A sample above it (up to the tile's sample range) keys exactly like the
   maximum itself: it reads nothing outside the engine's tables, but a 16-bit picture left at
   the default maximum of 255 keys as if every sample above 255 were 255. A background alpha
   above the background's maximum scales beyond full alpha. makeLuts refuses (3) a maximum
   below 1 or above 65535. */
ZEPHRA_EXPORT void zephra_setFgMax(ZephraHandle handle, int max);
ZEPHRA_EXPORT void zephra_setBgMax(ZephraHandle handle, int max);
ZEPHRA_EXPORT void zephra_setGMatteMax(ZephraHandle handle, int max);
ZEPHRA_EXPORT void zephra_setHMatteMax(ZephraHandle handle, int max);
ZEPHRA_EXPORT void zephra_setDstMax(ZephraHandle handle, int max);
ZEPHRA_EXPORT void zephra_setRefMax(ZephraHandle handle, int max);
ZEPHRA_EXPORT void zephra_useHold(ZephraHandle handle, int on);
ZEPHRA_EXPORT void zephra_useGarbage(ZephraHandle handle, int on);
ZEPHRA_EXPORT void zephra_useRef(ZephraHandle handle, int on);

/* 0 tables current, 1 neutral colour with a zero working component, 2 screen colour zero
   or illegal, 3 out of memory. */
ZEPHRA_EXPORT int zephra_makeLuts(ZephraHandle handle);
/* bytes: 1 or 2 per sample. 0 done (also 0, writing nothing, while the tables are stale),
   1 refused. */
ZEPHRA_EXPORT int zephra_render(ZephraHandle handle, int bytes, int width, int height, Ztile* tile);

#ifdef __cplusplus
}
#endif
