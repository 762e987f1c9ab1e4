#include "app/SequencePattern.h"

#include <cctype>

#include "app/HostError.h"

namespace pxhost {
namespace {

constexpr int kMaxWidth = 12;

}  // namespace

SequencePattern::SequencePattern(const std::string& text) : m_text(text) {
    std::string* out = &m_prefix;
    auto frameMarker = [&](int width, bool zeroPad) {
        if (m_hasFrame) throw UsageError(text + ": more than one frame number in the file name");
        if (width > kMaxWidth) throw UsageError(text + ": a frame number of more than 12 digits");
        m_hasFrame = true;
        m_width = width;
        m_zeroPad = zeroPad;
        out = &m_suffix;
    };
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '#') {
            size_t j = i;
            while (j < text.size() && text[j] == '#') ++j;
            frameMarker(static_cast<int>(j - i), true);
            i = j;
            continue;
        }
        if (c == '%') {
            if (i + 1 < text.size() && text[i + 1] == '%') {
                out->push_back('%');
                i += 2;
                continue;
            }
            // "%d", "%Nd" or "%0Nd".
            size_t j = i + 1;
            const bool zero = j < text.size() && text[j] == '0';
            int width = 0;
            while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j])) &&
                   width <= kMaxWidth) {
                width = width * 10 + (text[j] - '0');
                ++j;
            }
            if (j < text.size() && text[j] == 'd') {
                frameMarker(width, zero);
                i = j + 1;
                continue;
            }
        }
        out->push_back(c);
        ++i;
    }
}

std::string SequencePattern::fileName(long frame) const {
    if (!m_hasFrame) return m_prefix;
    std::string digits = std::to_string(frame);
    if (static_cast<int>(digits.size()) < m_width)
        digits.insert(0, static_cast<size_t>(m_width) - digits.size(), m_zeroPad ? '0' : ' ');
    return m_prefix + digits + m_suffix;
}

}  // namespace pxhost
