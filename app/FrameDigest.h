#pragma once
// Per-frame digests: SHA-256 of a frame's decoded input pixels, of the keyer parameters it was
// rendered with and of the pixels it wrote. Pixels, not file bytes: a file format's time stamps
// and encoder choices do not change a digest.
//
// The digest file holds one line per rendered frame:
//   frame=12 inputs=<64 hex> params=<64 hex> outputs=<64 hex> script=/abs/path/key.pxs
// Renders append to it, one write() of a whole line on a descriptor opened with O_APPEND, so
// the tasks of an array job can share one file on a file system whose appends are atomic.
// A frame rendered again appends a new line; the last line of a frame is the one that counts.

#include <map>
#include <string>
#include <vector>

#include "app/Raster.h"
#include "app/Sha256.h"

namespace pxhost {

class Session;

struct DigestRecord {
    long frame = 0;
    std::string inputs;   // hex SHA-256 of the input pictures, in FileIn order
    std::string params;   // hex SHA-256 of the node graph's parameters and the write options
    std::string outputs;  // hex SHA-256 of the written pictures, in FileOut order
    std::string script;   // the script that rendered the frame, as an absolute path
};

// One line of the digest file, ending in '\n'.
std::string formatDigestRecord(const DigestRecord& record);
// Parses one line (without its '\n'); false when it is not a record.
bool parseDigestRecord(const std::string& line, DigestRecord& record);

// Appends one record with a single write. Throws RenderError naming the file on failure.
void appendDigestRecord(const std::string& path, const DigestRecord& record);

struct DigestFile {
    std::map<long, DigestRecord> frames;  // the last record of each frame
    long unreadableLines = 0;             // lines that are not records (a torn write)
};
// Reads a digest file; a missing file reads as empty. Throws RenderError when it exists but
// cannot be read.
DigestFile readDigestFile(const std::string& path);

// Feeds a picture's size, sample type, channel mask and the samples of its channels.
void hashPicture(Sha256& sha, const RasterView& picture);

// The parameters everything the session writes is computed from, at the frame its inputs are
// set to: each node between the inputs and the outputs (class, inputs, public plug values) and
// the write options of each output. Inputs count by position, not by file name.
std::string parameterText(const Session& session);

// Computes one frame's record as the frame renders.
class FrameHasher {
public:
    explicit FrameHasher(const Session& session) : m_session(session) {}
    // Sets the session's inputs to the frame and hashes their pixels (reading the files) and
    // the parameters.
    void begin(long frame);
    void addPicture(const RasterView& picture) { hashPicture(m_outputs, picture); }
    // The record of the frame begun last, with the pictures added since.
    DigestRecord finish(const std::string& script);

private:
    const Session& m_session;
    DigestRecord m_record;
    Sha256 m_outputs;
    // A still input is read once for every frame; its hash is kept while its file name stays.
    std::vector<std::pair<std::string, std::string>> m_inputHashes;  // file name, hash
};

}  // namespace pxhost
