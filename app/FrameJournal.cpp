#include "app/FrameJournal.h"

#include <sys/stat.h>

#include <filesystem>

#include "app/Session.h"

namespace pxhost {

FrameJournal::FrameJournal(const Session& session, bool skipExisting, const std::string& digestPath,
                           const std::string& scriptPath)
    : m_session(session),
      m_skipExisting(skipExisting),
      m_digestPath(digestPath),
      m_script(scriptPath),
      m_hasher(session) {
    if (scriptPath != "-" && scriptPath != "-e") {
        std::error_code ec;
        const std::filesystem::path absolute = std::filesystem::absolute(scriptPath, ec);
        if (!ec) m_script = absolute.lexically_normal().string();
    }
    if (m_skipExisting && !m_digestPath.empty()) m_previous = readDigestFile(m_digestPath);
}

bool FrameJournal::outputsExist(long frame) const {
    for (const Session::Output& out : m_session.outputs()) {
        struct stat st;
        if (stat(out.pattern.fileName(frame).c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            return false;
    }
    return true;
}

bool FrameJournal::beginFrame(long frame) {
    const bool exist = m_skipExisting && outputsExist(frame);
    if (exist && m_digestPath.empty()) {
        ++m_skipped;
        return false;
    }
    if (m_digestPath.empty()) return true;
    m_hasher.begin(frame);
    if (exist) {
        // Rendered before: again only when what the frame is made of has changed.
        const auto previous = m_previous.frames.find(frame);
        const DigestRecord now = m_hasher.finish(m_script);
        if (previous != m_previous.frames.end() && previous->second.inputs == now.inputs &&
            previous->second.params == now.params) {
            ++m_skipped;
            return false;
        }
    }
    return true;
}

bool FrameJournal::pictureRendered(const RasterView& picture) {
    if (!m_digestPath.empty()) m_hasher.addPicture(picture);
    return true;
}

void FrameJournal::frameKeyed(long frame) {
    if (m_digestPath.empty()) return;
    const std::lock_guard<std::mutex> lock(m_pendingUse);
    m_pending[frame] = m_hasher.finish(m_script);
}

void FrameJournal::frameDone(long frame) {
    DigestRecord record;
    {
        const std::lock_guard<std::mutex> lock(m_pendingUse);
        const auto pending = m_pending.find(frame);
        if (pending == m_pending.end()) return;  // skipped
        record = pending->second;
        m_pending.erase(pending);
    }
    appendDigestRecord(m_digestPath, record);
}

void FrameJournal::report(FILE* stream) const {
    if (m_skipped > 0)
        std::fprintf(stream, "pxhost: skipped %ld frame%s whose outputs exist\n", m_skipped,
                     m_skipped == 1 ? "" : "s");
}

}  // namespace pxhost
