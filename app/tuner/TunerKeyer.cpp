#include "app/tuner/TunerKeyer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "app/HostError.h"
#include "app/ImageFile.h"
#include "app/Raster.h"
#include "app/SequencePattern.h"
#include "app/Session.h"
#include "sdk/graph/PXiIPlug.h"
#include "sdk/graph/PXiNode.h"
#include "sdk/image/PXiRender.h"

namespace pxhost::tuner {
namespace {

// Pictures kept for quick view switches: the views of one setting of one frame.
constexpr size_t kRecentPictures = 4;
constexpr double kMax16 = 65535.0;
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "pictures are sent little-endian");

// Names the inputs carry in the session's scope and in saved scripts.
constexpr const char* kInputNames[] = {"fg", "bg", "holdout", "garbage"};

std::string absolutePath(const std::string& path) {
    return std::filesystem::absolute(path).lexically_normal().string();
}

uint16_t floatTo16(float v) {
    const double clamped = std::min(1.0, std::max(0.0, static_cast<double>(v)));
    return static_cast<uint16_t>(std::lround(clamped * kMax16));
}

// Host buffer (A, B, G, R, padded rows) to the page's layout (R, G, B, A, packed rows).
std::shared_ptr<Picture> toPicture(const PXiIBuf& buffer, int channels) {
    auto picture = std::make_shared<Picture>();
    picture->width = buffer.getWidth();
    picture->height = buffer.getNumRows();
    picture->channels = channels;
    const int depth = buffer.getDepth();
    picture->bytesPerSample = depth == 1 ? 1 : 2;
    const size_t w = static_cast<size_t>(picture->width);
    picture->samples.resize(w * picture->height * 4 * picture->bytesPerSample);
    static const int kOrder[4] = {kSampleR, kSampleG, kSampleB, kSampleA};
    const size_t rowSamples = static_cast<size_t>(buffer.getRowSamples());
    for (int y = 0; y < picture->height; ++y) {
        if (depth == 1) {
            const uint8_t* src = static_cast<const uint8_t*>(buffer.getData()) + y * rowSamples;
            uint8_t* dst = picture->samples.data() + y * w * 4;
            for (size_t x = 0; x < w; ++x)
                for (int c = 0; c < 4; ++c) dst[x * 4 + c] = src[x * 4 + kOrder[c]];
            continue;
        }
        // Samples go out little-endian, the order of the processors this program runs on.
        uint16_t* dst = reinterpret_cast<uint16_t*>(picture->samples.data()) + y * w * 4;
        if (depth == 2) {
            const uint16_t* src = static_cast<const uint16_t*>(buffer.getData()) + y * rowSamples;
            for (size_t x = 0; x < w; ++x)
                for (int c = 0; c < 4; ++c) dst[x * 4 + c] = src[x * 4 + kOrder[c]];
        } else {
            const float* src = static_cast<const float*>(buffer.getData()) + y * rowSamples;
            for (size_t x = 0; x < w; ++x)
                for (int c = 0; c < 4; ++c) dst[x * 4 + c] = floatTo16(src[x * 4 + kOrder[c]]);
        }
    }
    return picture;
}

// The keyer output a view shows.
std::string outputOf(View view, const KeyerSettings& settings) {
    switch (view) {
        case View::Matte:
        case View::Unpremultiplied:
            return "unpremultiplied";  // the matte is its alpha
        case View::Status:
            return "status";
        default: {
            const std::string& chosen = settings.value("output");
            return chosen.compare(0, 4, "comp") == 0 ? chosen : "composite";
        }
    }
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    if (in) text << in.rdbuf();
    if (!in || in.bad()) throw UsageError(path + ": cannot read the script");
    return text.str();
}

}  // namespace

View parseView(const std::string& name) {
    static const std::pair<const char*, View> kViews[] = {
        {"composite", View::Composite},
        {"matte", View::Matte},
        {"status", View::Status},
        {"unpremultiplied", View::Unpremultiplied},
        {"original", View::Original}};
    for (const auto& v : kViews)
        if (name == v.first) return v.second;
    throw InvalidParameter("view: \"" + name + "\" is not a view");
}

TunerKeyer::TunerKeyer(Session& session, const TunerInputs& inputs) : m_session(session) {
    const std::string files[] = {inputs.shot, inputs.background, inputs.holdOut, inputs.garbage};
    std::string script;
    for (size_t i = 0; i < 4; ++i) {
        if (files[i].empty()) {
            m_imageArguments.push_back("0");
            continue;
        }
        m_imageArguments.push_back(kInputNames[i]);
        script += std::string(kInputNames[i]) + " = FileIn(" +
                  quoteScriptText(absolutePath(files[i])) + ");\n";
    }
    const PXiScriptResult declared = m_session.evaluate(script, "--tune");
    for (const auto& named : declared.images) m_session.addPicture(named.first, named.second);
    m_shot = declared.image(kInputNames[0]);
    m_frames = m_session.planFrames(inputs.frames);
    // A missing or unreadable input is told now, not on the page's first picture.
    for (const std::string& file : files)
        if (!file.empty()) readImageInfo(SequencePattern(file).fileName(m_frames.front()));
}

std::string TunerKeyer::keyStatement(const KeyerSettings& settings, View view) const {
    return "key = " + settings.call(m_imageArguments, outputOf(view, settings)) + ";\n";
}

std::shared_ptr<const Picture> TunerKeyer::render(long frame, const KeyerSettings& settings,
                                                  View view) {
    if (std::find(m_frames.begin(), m_frames.end(), frame) == m_frames.end())
        throw InvalidParameter("frame: " + std::to_string(frame) + " is not in the range");
    const std::string statement =
        view == View::Original ? std::string("original") : keyStatement(settings, view);
    const std::string cacheKey = std::to_string(frame) + "\n" + statement;
    for (auto it = m_recent.begin(); it != m_recent.end(); ++it) {
        if (it->first != cacheKey) continue;
        m_recent.splice(m_recent.begin(), m_recent, it);
        return it->second;
    }
    if (frame != m_currentFrame) {
        m_session.setFrame(frame);
        m_currentFrame = frame;
    }
    std::shared_ptr<Picture> picture;
    if (view == View::Original) {
        picture = toPicture(m_session.renderPicture(m_shot), m_shot->getChannelsPlug()->asInt());
    } else {
        const PXiScriptResult result = m_session.evaluate(statement, "tuner");
        PXiIPlug* key = result.image("key");
        // The keyer node lives only for this picture: the next change makes a new one.
        std::unique_ptr<PXiNode> node(key->getNode());
        picture = toPicture(m_session.renderPicture(key), key->getChannelsPlug()->asInt());
    }
    m_recent.emplace_front(cacheKey, picture);
    if (m_recent.size() > kRecentPictures) m_recent.pop_back();
    return picture;
}

void loadScriptParameters(Session& session, const std::string& path, KeyerSettings& settings) {
    const std::vector<PXiNode*>& children = PXiNode::getRoot()->getChildren();
    const std::set<PXiNode*> before(children.begin(), children.end());
    session.evaluate(readText(path), path);
    PXiNode* keyer = nullptr;
    for (PXiNode* node : PXiNode::getRoot()->getChildren())
        if (!before.count(node) && settings.command().name == node->className().c_str())
            keyer = node;
    if (!keyer) throw UsageError(path + ": the script has no " + settings.command().name + " call");
    for (const KeyerParameter& p : settings.command().parameters) {
        PXiPlug* plug = keyer->getPlug(p.plug.c_str());
        if (!plug) continue;
        std::string text = plug->asString().c_str();
        if (p.kind != KeyerParameter::Kind::Text && !settings.command().find(text)) {
            char number[32];
            std::snprintf(number, sizeof number, "%.6g", static_cast<double>(plug->asFloat()));
            text = number;
        }
        try {
            settings.set(p.name, text);
        } catch (const InvalidParameter& e) {
            std::fprintf(stderr, "pxhost: %s: %s (the default is used)\n", path.c_str(), e.what());
        }
    }
}

}  // namespace pxhost::tuner
