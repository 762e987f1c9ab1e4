#include "app/KeyChecks.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

#include "sdk/graph/PXiIPlug.h"
#include "sdk/image/PXiMemoryImage.h"
#include "sdk/image/PXiRender.h"
#include "sdk/script/PXiCmplr.h"
#include "sdk/script/PXiCommandInfo.h"

namespace pxhost {
namespace {

// The small copy is at most this wide and high: enough pixels that "everywhere" and shares of
// the screen are measured well, few enough to cost nothing next to the frame's own key.
constexpr int kProbeSize = 256;
// A matte counts as opaque or transparent everywhere when this share of the pixels is.
constexpr double kEverywhere = 0.999;
// Below this share of screen-keyed area the foreground has "far less" than the background
// when the background's share is at least kScreenShare.
constexpr double kFarLess = 0.5;
constexpr double kScreenShare = 0.2;
// The keys of a script that are checked, in the order of their calls. Each check holds two
// keyer nodes of its own, so a script of thousands of keys (a generated chain) would double
// the memory of its own nodes for warnings nobody reads one by one; the first keys of a
// script are the ones a person wrote and looks at.
constexpr size_t kMostKeysChecked = 64;

std::string percent(double share) {
    return std::to_string(static_cast<int>(share * 100 + 0.5)) + "%";
}

// The step between the pixels of a picture that its small copy takes.
int probeStep(int width, int height) {
    return std::max(
        1, std::max((width + kProbeSize - 1) / kProbeSize, (height + kProbeSize - 1) / kProbeSize));
}

// Copies every step-th pixel of a picture into a small picture of the same depth.
void shrinkInto(const RasterView& picture, int step, PXiMemoryImage& small) {
    const int w = small.getWidth(), h = small.getHeight();
    auto* out = static_cast<unsigned char*>(small.getPixels());
    const size_t pixelBytes = 4 * static_cast<size_t>(picture.depth);
    const size_t rowBytes = picture.rowSamples * picture.depth;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const unsigned char* from = picture.data + static_cast<size_t>(y) * step * rowBytes +
                                        static_cast<size_t>(x) * step * pixelBytes;
            std::memcpy(out + (static_cast<size_t>(y) * w + x) * pixelBytes, from, pixelBytes);
        }
    small.touch();
}

double sampleAt(const PXiIBuf& picture, int x, int y, int sample) {
    const void* p = picture.pixelAddress(x, y);
    switch (picture.getDepth()) {
        case 1:
            return static_cast<const std::uint8_t*>(p)[sample] / 255.0;
        case 2:
            return static_cast<const std::uint16_t*>(p)[sample] / 65535.0;
        default:
            return static_cast<const float*>(p)[sample];
    }
}

// Samples of a pixel: alpha, blue, green, red.
enum { kA = 0, kB = 1, kG = 2, kR = 3 };

}  // namespace

struct KeyChecks::Probe {
    std::unique_ptr<PXiMemoryImage> small;
    std::unique_ptr<PXiNode> node;  // the keyer's; it goes before the picture it keys
    PXiIPlug* status = nullptr;
    int channels = 0;

    bool fits(int w, int h, int depth, int channelMask) const {
        return small->getWidth() == w && small->getHeight() == h &&
               small->getImageDepth() == depth && channels == channelMask;
    }
};

KeyChecks::KeyChecks() = default;
KeyChecks::~KeyChecks() = default;

void KeyChecks::endProbes() { m_probes.clear(); }

MatteCoverage KeyChecks::statusCoverage(const Key& key, PXiIPlug* image,
                                        std::unique_ptr<Probe>& probe, PXiRenderBatch& batch) {
    MatteCoverage coverage;
    if (!image) return coverage;
    RasterView picture;
    PXiIBuf rendered;
    if (!m_held || !m_held(image, picture)) {
        rendered = batch.render(image);
        if (!rendered.getData()) return coverage;
        picture = viewOf(rendered, image->getChannelsPlug()->asInt());
    }
    const int step = probeStep(picture.width, picture.height);
    const int w = (picture.width + step - 1) / step, h = (picture.height + step - 1) / step;
    if (!probe || !probe->fits(w, h, picture.depth, picture.channels)) {
        probe.reset();
        auto made = std::make_unique<Probe>();
        made->small = std::make_unique<PXiMemoryImage>(w, h, picture.depth, picture.channels);
        made->channels = picture.channels;
        const PXiScriptCallRecord& call = key.call;
        std::vector<PXiIPlug*> images(call.images.size(), nullptr);
        images[key.fgImage] = made->small->getOutput();
        std::vector<std::string> texts = call.texts;
        texts[key.outputText] = "status";
        std::vector<const char*> args;
        for (const std::string& t : texts) args.push_back(t.c_str());
        const PXiScope::Binding b = PXiScope::getGlobal()->bind(*call.function);
        made->status = b.host ? b.host(PXiScriptCall{*call.function, images, args})
                              : PXiCallExported(b.exported, images, args);
        if (!made->status) return coverage;
        // The node is the check's own, not one of the script's nodes under the root.
        made->node.reset(made->status->getNode());
        made->node->setParent(nullptr);
        probe = std::move(made);
    }
    shrinkInto(picture, step, *probe->small);
    const PXiIBuf keyed = PXiRenderImage(probe->status);
    if (!keyed.getData()) return coverage;
    const PXiIRect& r = keyed.getRect();
    for (int y = r.y1; y < r.y2; ++y)
        for (int x = r.x1; x < r.x2; ++x) {
            const double red = sampleAt(keyed, x, y, kR), green = sampleAt(keyed, x, y, kG);
            const double blue = sampleAt(keyed, x, y, kB);
            // Status colours: black where keyed away, full blue where kept.
            if (red == 0 && green == 0 && blue == 0) coverage.transparent += 1;
            if (green == 0 && blue == 1.0) coverage.opaque += 1;
            ++coverage.pixels;
        }
    if (coverage.pixels) {
        coverage.transparent /= coverage.pixels;
        coverage.opaque /= coverage.pixels;
    }
    return coverage;
}

std::vector<PXiScriptError> checkKeys(KeyChecks& checks, long frame) {
    if (checks.empty()) return {};
    try {
        return checks.check(frame);
    } catch (const std::exception&) {
        return {};
    }
}

void KeyChecks::setCalls(const std::vector<PXiScriptCallRecord>& calls) {
    m_keys.clear();
    for (const PXiScriptCallRecord& call : calls) {
        auto d = PXiCommandInfo::find(call.function->name);
        if (!d || d->args.size() != call.function->params.size()) continue;
        const int fg = d->indexOf("fg"), bg = d->indexOf("bg"), output = d->indexOf("output");
        if (fg < 0 || bg < 0 || output < 0) continue;
        const auto& choices = d->args[output].choices;
        if (std::find(choices.begin(), choices.end(), "status") == choices.end()) continue;
        const size_t images = call.function->imageCount;
        if (size_t(fg) >= images || size_t(bg) >= images || size_t(output) < images) continue;
        m_keys.push_back({call, size_t(fg), size_t(bg), size_t(output) - images});
        if (m_keys.size() == kMostKeysChecked) break;
    }
    m_probes.clear();
    m_probes.resize(2 * m_keys.size());
}

std::vector<PXiScriptError> KeyChecks::check(long frame) {
    std::vector<PXiScriptError> warnings;
    const std::string when = "frame " + std::to_string(frame) + ": ";
    // The pictures to render, in one batch: in a chain of keys each key's foreground is the
    // key before, and rendering each on its own would render the chain again per key.
    std::vector<PXiIPlug*> toRender;
    RasterView held;
    for (const Key& k : m_keys)
        for (PXiIPlug* image : {k.call.images[k.fgImage], k.call.images[k.bgImage]})
            if (image && !(m_held && m_held(image, held)) &&
                std::find(toRender.begin(), toRender.end(), image) == toRender.end())
                toRender.push_back(image);
    PXiRenderBatch batch(toRender);
    for (size_t i = 0; i < m_keys.size(); ++i) {
        const Key& k = m_keys[i];
        const auto warn = [&](const std::string& message) {
            warnings.emplace_back(k.call.file, k.call.pos, when + message);
        };
        const MatteCoverage fg =
            statusCoverage(k, k.call.images[k.fgImage], m_probes[2 * i], batch);
        if (!fg.pixels) continue;
        if (fg.opaque >= kEverywhere)
            warn(
                "the matte is opaque everywhere: nothing of the foreground is keyed away (is the "
                "screen colour that of this plate?)");
        else if (fg.transparent >= kEverywhere)
            warn(
                "the matte is transparent everywhere: all of the foreground is keyed away (is "
                "the picture given as foreground the shot?)");
        PXiIPlug* bgImage = k.call.images[k.bgImage];
        if (!bgImage) continue;
        const MatteCoverage bg = statusCoverage(k, bgImage, m_probes[2 * i + 1], batch);
        const double fgScreen = 1.0 - fg.opaque, bgScreen = 1.0 - bg.opaque;
        if (bg.pixels && bgScreen >= kScreenShare && fgScreen < kFarLess * bgScreen)
            warn("the picture given as foreground has far less screen colour (" +
                 percent(fgScreen) + " of it) than the one given as background (" +
                 percent(bgScreen) + "): are the two the other way round?");
    }
    return warnings;
}

}  // namespace pxhost
