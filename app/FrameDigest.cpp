#include "app/FrameDigest.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>

#include "app/FileInNode.h"
#include "app/HostError.h"
#include "app/Session.h"
#include "sdk/graph/PXiIPlug.h"
#include "sdk/graph/PXiNode.h"
#include "sdk/graph/PXiPlug.h"

namespace pxhost {
namespace {

constexpr size_t kHexDigits = 2 * Sha256::kDigestBytes;
constexpr int kSamplesPerPixel = 4;
constexpr mode_t kDigestFileMode = 0644;

bool isHexDigest(const std::string& text) {
    if (text.size() != kHexDigits) return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

// The value after "name=" at the start of text; moves text past it and the following blank.
bool takeField(std::string& text, const char* name, std::string& value, bool last) {
    const std::string prefix = std::string(name) + "=";
    if (text.compare(0, prefix.size(), prefix) != 0) return false;
    const size_t end = last ? text.size() : text.find(' ', prefix.size());
    if (end == std::string::npos) return false;
    value = text.substr(prefix.size(), end - prefix.size());
    text.erase(0, last ? end : end + 1);
    return true;
}

void hashText(Sha256& sha, const std::string& text) {
    sha.update(text);
    sha.update("\n", 1);
}

}  // namespace

std::string formatDigestRecord(const DigestRecord& r) {
    return "frame=" + std::to_string(r.frame) + " inputs=" + r.inputs + " params=" + r.params +
           " outputs=" + r.outputs + " script=" + r.script + "\n";
}

bool parseDigestRecord(const std::string& line, DigestRecord& record) {
    std::string rest = line;
    std::string frame;
    DigestRecord r;
    if (!takeField(rest, "frame", frame, false) || !takeField(rest, "inputs", r.inputs, false) ||
        !takeField(rest, "params", r.params, false) ||
        !takeField(rest, "outputs", r.outputs, false) || !takeField(rest, "script", r.script, true))
        return false;
    if (!isHexDigest(r.inputs) || !isHexDigest(r.params) || !isHexDigest(r.outputs) ||
        r.script.empty() || frame.empty() || frame.size() > 10 ||
        frame.find_first_not_of("0123456789") != std::string::npos)
        return false;
    r.frame = std::stol(frame);
    record = r;
    return true;
}

void appendDigestRecord(const std::string& path, const DigestRecord& record) {
    const std::string line = formatDigestRecord(record);
    const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, kDigestFileMode);
    if (fd < 0) throw RenderError(path + ": cannot write the digest: " + std::strerror(errno));
    const ssize_t written = write(fd, line.data(), line.size());
    const int writeErrno = errno;
    const bool closed = close(fd) == 0;
    if (written != static_cast<ssize_t>(line.size()) || !closed)
        throw RenderError(path + ": cannot write the digest: " +
                          (written < 0 ? std::strerror(writeErrno) : "short write"));
}

DigestFile readDigestFile(const std::string& path) {
    DigestFile file;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (access(path.c_str(), F_OK) != 0 && errno == ENOENT) return file;
        throw RenderError(path + ": cannot read the digests: " + std::strerror(errno));
    }
    std::string line;
    while (std::getline(in, line)) {
        DigestRecord record;
        if (parseDigestRecord(line, record))
            file.frames[record.frame] = record;
        else if (!line.empty())
            ++file.unreadableLines;
    }
    if (in.bad()) throw RenderError(path + ": cannot read the digests");
    return file;
}

void hashPicture(Sha256& sha, const RasterView& p) {
    hashText(sha, "picture " + std::to_string(p.width) + "x" + std::to_string(p.height) +
                      " depth " + std::to_string(p.depth) + " channels " +
                      std::to_string(p.channels));
    // Samples of channels the picture lacks may hold anything; only present ones count.
    bool present[kSamplesPerPixel] = {};
    present[kSampleA] = p.channels & kChanA;
    present[kSampleB] = p.channels & kChanB;
    present[kSampleG] = p.channels & kChanG;
    present[kSampleR] = p.channels & kChanR;
    const bool all = (p.channels & kChanRGBA) == kChanRGBA;
    const size_t sampleBytes = static_cast<size_t>(p.depth);
    const size_t rowBytes = static_cast<size_t>(p.width) * kSamplesPerPixel * sampleBytes;
    std::vector<unsigned char> row;
    for (int y = 0; y < p.height; ++y) {
        const unsigned char* src = p.data + static_cast<size_t>(y) * p.rowSamples * sampleBytes;
        if (all) {
            sha.update(src, rowBytes);
            continue;
        }
        row.clear();
        for (size_t s = 0; s < rowBytes; s += sampleBytes)
            if (present[(s / sampleBytes) % kSamplesPerPixel])
                row.insert(row.end(), src + s, src + s + sampleBytes);
        sha.update(row.data(), row.size());
    }
}

std::string parameterText(const Session& session) {
    std::map<const PXiNode*, std::string> label;
    for (size_t i = 0; i < session.inputs().size(); ++i)
        label[session.inputs()[i]] = "input" + std::to_string(i);
    std::ostringstream text;
    int nodes = 0;
    // Upstream first, so that a node's inputs are labelled before it is written.
    std::function<std::string(PXiNode*)> visit = [&](PXiNode* node) -> std::string {
        if (!node) return "none";
        const auto known = label.find(node);
        if (known != label.end()) return known->second;
        std::vector<std::string> inputs;
        for (int i = 0; PXiIPlug* in = node->getInput(i); ++i) {
            PXiIPlug* up = in->getUpstreamImage();
            inputs.push_back(visit(up ? up->getNode() : nullptr));
        }
        const std::string name = "node" + std::to_string(nodes++);
        label[node] = name;
        text << name << " = " << node->className().c_str() << "(";
        for (const std::string& in : inputs) text << in << ",";
        text << ")";
        for (const std::unique_ptr<PXiPlug>& p : node->getPlugs()) {
            const int type = p->getType();
            if ((type != PXiPlug::kInt && type != PXiPlug::kFloat && type != PXiPlug::kString) ||
                p->getFlag(PXiPlug::kHidden) || p->getFlag(PXiPlug::kNoSave))
                continue;
            text << " " << p->getName().c_str() << "=" << p->asString().c_str();
        }
        text << "\n";
        return name;
    };
    for (const Session::Output& out : session.outputs()) {
        const std::string source = visit(out.image ? out.image->getNode() : nullptr);
        text << "write " << source << " depth=" << out.options.depth
             << " channels=" << out.options.channels << " compression=" << out.options.compression
             << "\n";
    }
    return text.str();
}

void FrameHasher::begin(long frame) {
    const std::vector<FileInNode*>& inputs = m_session.inputs();
    for (FileInNode* in : inputs) in->setFrame(frame);
    m_inputHashes.resize(inputs.size());
    Sha256 all;
    for (size_t i = 0; i < inputs.size(); ++i) {
        std::pair<std::string, std::string>& cached = m_inputHashes[i];
        if (cached.second.empty() || cached.first != inputs[i]->fileName() ||
            inputs[i]->pattern().isSequence()) {
            Sha256 one;
            hashPicture(one, inputs[i]->picture().view());
            cached = {inputs[i]->fileName(), one.finishHex()};
        }
        hashText(all, cached.second);
    }
    Sha256 params;
    params.update(parameterText(m_session));
    m_record = DigestRecord();
    m_record.frame = frame;
    m_record.inputs = all.finishHex();
    m_record.params = params.finishHex();
    m_outputs = Sha256();
}

DigestRecord FrameHasher::finish(const std::string& script) {
    DigestRecord record = m_record;
    record.outputs = m_outputs.finishHex();
    record.script = script;
    return record;
}

}  // namespace pxhost
