#include "app/Progress.h"

#include <cmath>

namespace pxhost {

Progress::Progress(FILE* stream, long frameCount, bool showLine, bool verbose)
    : m_stream(stream),
      m_count(frameCount),
      m_showLine(showLine),
      m_verbose(verbose),
      m_start(std::chrono::steady_clock::now()) {}

std::string Progress::formatDuration(double seconds) {
    if (!(seconds >= 0) || seconds > 1e8) return "?";
    char text[32];
    if (seconds < 60) {
        std::snprintf(text, sizeof text, "%.1fs", seconds);
    } else {
        const long s = std::lround(seconds);
        if (s >= 3600)
            std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
        else
            std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    }
    return text;
}

void Progress::drawLine() {
    if (!m_showLine) return;
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    const long finished = m_done + m_failed;
    const double fps = elapsed > 0 ? finished / elapsed : 0;
    const double left = fps > 0 ? (m_count - finished) / fps : -1;
    std::fprintf(m_stream, "\r\033[Kframe %ld of %ld  %.2f fps  %s left", finished, m_count, fps,
                 formatDuration(left).c_str());
    if (m_failed) std::fprintf(m_stream, "  (%ld failed)", m_failed);
    std::fflush(m_stream);
    m_lineShown = true;
}

void Progress::clearLine() {
    if (m_lineShown) {
        std::fputs("\r\033[K", m_stream);
        m_lineShown = false;
    }
}

void Progress::frameDone(long frame, const FrameTimes& times) {
    ++m_done;
    m_sum.read += times.read;
    m_sum.key += times.key;
    m_sum.write += times.write;
    if (m_verbose) {
        clearLine();
        std::fprintf(m_stream, "frame %ld: read %.3fs  key %.3fs  write %.3fs  total %.3fs\n",
                     frame, times.read, times.key, times.write, times.total());
    }
    drawLine();
}

void Progress::frameFailed(long) {
    ++m_failed;
    drawLine();
}

void Progress::finish() {
    if (m_lineShown) {
        std::fputc('\n', m_stream);
        m_lineShown = false;
    }
    if (m_verbose && m_done > 0) {
        const double total = m_sum.total();
        auto share = [total](double part) { return total > 0 ? 100.0 * part / total : 0.0; };
        std::fprintf(m_stream,
                     "%ld %s: read %.3fs (%.0f%%)  key %.3fs (%.0f%%)  write %.3fs (%.0f%%)  "
                     "%.2f fps\n",
                     m_done, m_done == 1 ? "frame" : "frames", m_sum.read, share(m_sum.read),
                     m_sum.key, share(m_sum.key), m_sum.write, share(m_sum.write),
                     total > 0 ? m_done / total : 0.0);
    }
    std::fflush(m_stream);
}

}  // namespace pxhost
