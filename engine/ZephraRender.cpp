#include "engine/VRFZephraTable.h"

// Placeholder until the tile renderer lands: refuses every tile.
int VRFZephraTable::render(int, int, int, const Ztile*) const { return 1; }
