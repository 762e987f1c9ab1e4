#pragma once
// The frame steps of --skip-existing and --digest: frames whose outputs all exist are skipped
// (outputs appear whole or not at all, so an existing file is a complete one); with a digest
// file, only when the frame's last record has the same inputs and parameters. Every frame
// rendered appends its record to the digest file.

#include <cstdio>
#include <map>
#include <mutex>
#include <string>

#include "app/FrameDigest.h"
#include "app/FrameHooks.h"

namespace pxhost {

class Session;

class FrameJournal : public FrameHooks {
public:
    // digestPath: the digest file, or empty for none. scriptPath: the script as named on the
    // command line ("-" or "-e" for one that is not a file). Reads the digest file when
    // skipExisting is set.
    FrameJournal(const Session& session, bool skipExisting, const std::string& digestPath,
                 const std::string& scriptPath);

    // Whether the options asked for anything (else the session needs no hooks).
    bool active() const { return m_skipExisting || !m_digestPath.empty(); }
    long skippedFrames() const { return m_skipped; }
    // One line on stream about skipped frames, if any.
    void report(FILE* stream) const;

    bool beginFrame(long frame) override;
    bool pictureRendered(const RasterView& picture) override;
    void frameKeyed(long frame) override;
    void frameDone(long frame) override;

private:
    bool outputsExist(long frame) const;

    const Session& m_session;
    bool m_skipExisting;
    std::string m_digestPath;
    std::string m_script;
    DigestFile m_previous;
    FrameHasher m_hasher;
    long m_skipped = 0;
    std::mutex m_pendingUse;
    std::map<long, DigestRecord> m_pending;  // keyed, not yet written
};

}  // namespace pxhost
