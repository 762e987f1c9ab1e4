// The threaded fill: every host thread keys its own band of the output in place over the
// foreground samples of input buffer 0.
#include <cstddef>
#include <cstdint>

#include "engine/VRFZephraTable.h"
#include "host/KeyerTableBudget.h"
#include "host/PXxZephra.h"
#include "host/ZephraChannels.h"
#include "host/ZephraIds.h"
#include "host/ZephraScreenFill.h"
#include "sdk/base/PXiStandardError.h"
#include "sdk/base/PXiThread.h"
#include "sdk/graph/PXiIPlug.h"

// Everything the threads need, filled once per fill and only read by them.
struct PXxZephraFillJob {
    PXiIBuf** buffers;  // Fg, Bg, HoldOutMatte, GarbageMatte
    PXiIPlug** inputs;  // the same order
    PXiIRect roi;       // the output's region of interest; only x1 and x2 are read
    int depth;          // 1 or 2
    int holdInUse;
    int garbageInUse;
    char holdLetter;
    char garbageLetter;
    ZephraHandle engine;
    PXiBPixel screen;  // A 0, B, G, R the screen colour as the plugs hold it
};

namespace {

char* sampleAt(void* data, int sample, int depth) {
    return static_cast<char*>(data) + sample * depth;
}

// Makes `view` address this thread's band of `buffer` over the thread's rectangle, expanded
// to 4 interleaved samples per pixel. Returns the samples from one row to the next.
int bandView(const PXxZephraFillJob& job, int input, PXiIBuf& view, int width, int mask,
             const PXiThread& thread) {
    PXiIBuf* fg = job.buffers[kInputFg];
    PXiIRect rect(job.roi.x1, fg->getFirstRow(), job.roi.x2, fg->getFirstRow() + fg->getNumRows());
    job.buffers[input]->threadIBuf(view, rect, job.depth, thread.getIndex(), thread.getCount(), 0);
    PXiIPlug* in = job.inputs[input];
    view.expand(width, job.depth, in->getBPixel(), in->getChannelsPlug()->asInt(), mask);
    return 4 * width + view.getExtra();
}

// The matte image of the tile: only its `a` slot, at the sample the letter selects.
void matteImage(const PXxZephraFillJob& job, int input, int inUse, char letter, PXiIBuf& view,
                int width, const PXiThread& thread, TileImage& image) {
    PXiIBuf* buffer = job.buffers[input];
    if (!inUse || !buffer || !buffer->getData()) return;
    image.rowStep = bandView(job, input, view, width, zephraLetterMask(letter), thread);
    image.a = sampleAt(view.getData(), zephraLetterSample(letter), job.depth);
    image.pixelStep = 4;
}

}  // namespace

void PXxZephra::fillThread(PXiThread* thread, void* arg) {
    const PXxZephraFillJob& job = *static_cast<const PXxZephraFillJob*>(arg);
    PXiIBuf* fgBuffer = job.buffers[kInputFg];
    if (!fgBuffer || !fgBuffer->getData()) return;

    PXiIBuf fgView;
    PXiIRect band(job.roi.x1, fgBuffer->getFirstRow(), job.roi.x2,
                  fgBuffer->getFirstRow() + fgBuffer->getNumRows());
    fgBuffer->threadIBuf(fgView, band, job.depth, thread->getIndex(), thread->getCount(), 0);
    if (band.x1 >= band.x2 || band.y1 >= band.y2) return;
    const int width = band.x2 - band.x1;
    const int height = band.y2 - band.y1;

    // The keyer reads R, G and B of the foreground, never its alpha.
    PXiIPlug* fg = job.inputs[kInputFg];
    fgView.expand(width, job.depth, fg->getBPixel(), fg->getChannelsPlug()->asInt(), kMaskColour);
    void* data = fgView.getData();
    const int fgRowStep = 4 * width + fgView.getExtra();

    Ztile tile = {};
    tile.fg = {sampleAt(data, kSampleR, job.depth),
               sampleAt(data, kSampleG, job.depth),
               sampleAt(data, kSampleB, job.depth),
               sampleAt(data, kSampleA, job.depth),
               4,
               fgRowStep};

    PXiIRect inside = band.intersect(fg->getDod());
    if (job.depth == 1)
        zephraPaintScreen<std::uint8_t>(data, fgRowStep, band, inside, job.screen);
    else if (job.depth == 2)
        zephraPaintScreen<std::uint16_t>(data, fgRowStep, band, inside, job.screen);

    tile.dst = tile.fg;

    PXiIBuf holdView, garbageView, bgView;
    matteImage(job, kInputHoldOutMatte, job.holdInUse, job.holdLetter, holdView, width, *thread,
               tile.hold);
    matteImage(job, kInputGarbageMatte, job.garbageInUse, job.garbageLetter, garbageView, width,
               *thread, tile.garbage);

    PXiIBuf* bgBuffer = job.buffers[kInputBg];
    if (bgBuffer && bgBuffer->getData()) {
        tile.bg.rowStep = bandView(job, kInputBg, bgView, width, kMaskAll, *thread);
        void* bg = bgView.getData();
        tile.bg = {sampleAt(bg, kSampleR, job.depth),
                   sampleAt(bg, kSampleG, job.depth),
                   sampleAt(bg, kSampleB, job.depth),
                   sampleAt(bg, kSampleA, job.depth),
                   4,
                   tile.bg.rowStep};
    }
    // The reference plate stays null: the node runs the engine without it.

    zephra_render(job.engine, job.depth, width, height, &tile);
}

PXiFillFailure PXxZephra::fillFailure() const {
    PXiFillFailure failure;
    if (m_tablesResult == kTablesBuilt) return failure;
    failure.kind = m_tablesResult == kTablesOutOfMemory ? PXiFillFailureKind::kOutOfMemory
                                                        : PXiFillFailureKind::kSettings;
    failure.code = m_tablesResult;
    failure.reason = keyerTablesProblem(m_tablesResult);
    return failure;
}

void PXxZephra::ensureTables() {
    if (!m_tablesReleased) return;
    m_tablesReleased = false;
    const PXiStandardErrorLock printing;  // a failure prints the engine's line
    m_tablesResult = zephra_makeLuts(m_engine);
}

void PXxZephra::settleTables() {
    // Tables for 8-bit samples are small, and tables that were not built hold nothing.
    const bool large = getDepthPlug()->asInt() != 1 && m_tablesResult == kTablesBuilt;
    if (!large) {
        if (m_keepsTables) KeyerTableBudget::release();
        m_keepsTables = false;
        return;
    }
    if (!m_keepsTables) m_keepsTables = KeyerTableBudget::keep();
    if (m_keepsTables) return;
    m_engine->nukeTables();
    m_tablesReleased = true;
}

void PXxZephra::fillOutputBuffer() {
    ensureTables();
    PXxZephraFillJob job;
    job.buffers = getInputBuffers();
    job.inputs = getInputs();
    job.roi = getOutput()->getRoi();
    job.depth = getDepthPlug()->asInt();
    job.holdInUse = m_holdInUse;
    job.garbageInUse = m_garbageInUse;
    job.holdLetter = m_holdLetter;
    job.garbageLetter = m_garbageLetter;
    job.engine = m_engine;
    job.screen = PXiBPixel();
    job.screen.a = 0.0f;
    job.screen.b = bScreen->asFloat();
    job.screen.g = gScreen->asFloat();
    job.screen.r = rScreen->asFloat();
    job.screen.flags = 0;

    // The threads read the inputs' channels, background pixels and domains of definition.
    // Reading them once here makes sure they are all evaluated, so that the threads only
    // read values and never start an evaluation of their own.
    for (int k = 0; k < kInputCount; ++k) {
        PXiIPlug* in = job.inputs[k];
        in->getChannelsPlug()->asInt();
        in->getBPixel();
        in->getDod();
    }

    PXiThread::m_fork(&PXxZephra::fillThread, &job);
    settleTables();
}
