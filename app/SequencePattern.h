#pragma once
// File names with a frame number: "plate.####.exr" (padded to the number of '#') and
// "plate.%04d.exr" (printf style: "%d", "%4d", "%04d"). "%%" stands for one '%'; any other '%'
// is an ordinary character, so "50%.png" names a still file.

#include <string>

namespace pxhost {

class SequencePattern {
public:
    // Parses a file name; throws UsageError (naming the file) when it holds more than one frame
    // number or a width too large to be meant.
    explicit SequencePattern(const std::string& text);

    // The name as written.
    const std::string& text() const { return m_text; }
    // Whether the name holds a frame number.
    bool isSequence() const { return m_hasFrame; }
    // The file name of one frame; a still gives its one name for every frame.
    std::string fileName(long frame) const;

private:
    std::string m_text;
    std::string m_prefix;  // before the frame number, "%%" already reduced to '%'
    std::string m_suffix;  // after it
    bool m_hasFrame = false;
    int m_width = 0;         // digits to pad to
    bool m_zeroPad = false;  // pad with '0' (else with blanks, as printf's "%4d")
};

}  // namespace pxhost
