#pragma once

// How many keyer nodes keep their 16-bit tables from one fill to the next.
//
// Every engine holds about 210 KB of fixed tables inside the object. Keying 16-bit samples
// takes nine more tables indexed by sample value, 65536 entries each: about 1.2 MB per node,
// whatever the size of the picture. A job of a few dozen keyers keeps them all, so that a
// sequence builds its tables once. Past the limit, a node that has filled its picture frees
// those tables and builds them again when it is next filled (a few milliseconds), so that a
// graph of thousands of keyers costs the fixed tables per node, not 1.4 MB. Tables for 8-bit
// samples (256 entries) are always kept.
class KeyerTableBudget {
public:
    // Nodes that may keep 16-bit tables at once (about 75 MB of tables).
    static constexpr int kDefaultLimit = 64;

    // Counts one more node that keeps its tables; false (nothing counted) at the limit.
    static bool keep();
    // A node that was counted no longer keeps its tables.
    static void release();

    // For tests and embedding hosts: a new limit (0: no node keeps 16-bit tables) and the
    // nodes counted now.
    static void setLimit(int nodes);
    static int kept();
};
