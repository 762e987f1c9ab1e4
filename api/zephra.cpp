#include "api/zephra.h"

#include <new>

#include "engine/VRFZephraTable.h"

// Thin forwarders: each passes its arguments unchanged to one engine operation.

ZephraHandle zephra_new(void) { return new (std::nothrow) VRFZephraTable(); }

void zephra_delete(ZephraHandle handle) { delete handle; }

void zephra_installCallback(ZephraHandle handle, ZephraCallback fn, void* data) {
    handle->installCallback(fn, data);
}

void zephra_setColourspace(ZephraHandle handle, int id) { handle->setColourspace(id); }

void zephra_setScreen(ZephraHandle handle, float r, float g, float b) {
    handle->setScreen(r, g, b);
}

void zephra_setNeutral(ZephraHandle handle, float r, float g, float b) {
    handle->setNeutral(r, g, b);
}

void zephra_setReplace(ZephraHandle handle, float r, float g, float b) {
    handle->setReplace(r, g, b);
}

void zephra_setBackground(ZephraHandle handle, float r, float g, float b) {
    handle->setBackground(r, g, b);
}

void zephra_setBalance(ZephraHandle handle, int which, float v) { handle->setBalance(which, v); }

void zephra_setGain(ZephraHandle handle, int which, float v) { handle->setGain(which, v); }

void zephra_setMp(ZephraHandle handle, float r, float g, float b) { handle->setMp(r, g, b); }

void zephra_setScreenRange(ZephraHandle handle, float v) { handle->setScreenRange(v); }

void zephra_setExposure(ZephraHandle handle, float r, float g, float b, int set) {
    handle->setExposure(r, g, b, set);
}

void zephra_setGamma(ZephraHandle handle, float r, float g, float b, int set) {
    handle->setGamma(r, g, b, set);
}

void zephra_setOffset(ZephraHandle handle, float r, float g, float b, int set) {
    handle->setOffset(r, g, b, set);
}

void zephra_setSaturation(ZephraHandle handle, float v, int set) { handle->setSaturation(v, set); }

void zephra_setView(ZephraHandle handle, int id) { handle->setView(id); }

int zephra_getView(ZephraHandle handle) { return handle->view; }

void zephra_setFgMax(ZephraHandle handle, int max) { handle->setFgMax(max); }
void zephra_setBgMax(ZephraHandle handle, int max) { handle->setBgMax(max); }
void zephra_setGMatteMax(ZephraHandle handle, int max) { handle->setGMatteMax(max); }
void zephra_setHMatteMax(ZephraHandle handle, int max) { handle->setHMatteMax(max); }
void zephra_setDstMax(ZephraHandle handle, int max) { handle->setDstMax(max); }
void zephra_setRefMax(ZephraHandle handle, int max) { handle->setRefMax(max); }

void zephra_useHold(ZephraHandle handle, int on) { handle->useHold(on); }
void zephra_useGarbage(ZephraHandle handle, int on) { handle->useGarbage(on); }
void zephra_useRef(ZephraHandle handle, int on) { handle->useRef(on); }

int zephra_makeLuts(ZephraHandle handle) { return handle->makeLuts(); }

int zephra_render(ZephraHandle handle, int bytes, int width, int height, Ztile* tile) {
    return handle->render(bytes, width, height, tile);
}
