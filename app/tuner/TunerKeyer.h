#pragma once
// Keys the tuner's shot through the host program's own session: the keyer call that a saved
// script would hold is run as script text on the session's FileIn pictures, and the rendered
// buffer is kept in memory instead of being written. Each input file is read once per frame.

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/tuner/KeyerSettings.h"

class PXiIPlug;

namespace pxhost {
class Session;
}

namespace pxhost::tuner {

// The files named on the tuner's command line.
struct TunerInputs {
    std::string shot;
    std::string background;  // "" when not given
    std::string holdOut;
    std::string garbage;
    std::string frames;  // -t as given, or empty
};

// A rendered picture as the page receives it: rows top to bottom, samples R, G, B, A, one byte
// each (8-bit pictures) or two, little-endian (16-bit pictures and float ones converted).
struct Picture {
    int width = 0;
    int height = 0;
    int bytesPerSample = 1;
    int channels = 0;  // host channel mask: A 1, B 2, G 4, R 8
    std::vector<uint8_t> samples;
};

enum class View { Composite, Matte, Status, Unpremultiplied, Original };

// "composite", "matte", "status", "unpremultiplied" or "original"; InvalidParameter otherwise.
View parseView(const std::string& name);

class TunerKeyer {
public:
    // Declares the inputs to the session (nothing is read yet) and decides the frames.
    // Throws UsageError for a bad frame range or a sequence without -t.
    TunerKeyer(Session& session, const TunerInputs& inputs);

    const std::vector<long>& frames() const { return m_frames; }
    // The image arguments of the keyer call, as the saved script names them (0: none).
    const std::vector<std::string>& imageArguments() const { return m_imageArguments; }

    // The picture of one view of a frame. The last few pictures are kept, so switching
    // between views costs nothing. Throws InvalidParameter for a frame outside the range, and
    // RenderError for an unreadable input or a keyer error.
    std::shared_ptr<const Picture> render(long frame, const KeyerSettings& settings, View view);

    // The script statement that keys one view: key = <keyer call>;
    std::string keyStatement(const KeyerSettings& settings, View view) const;

private:
    Session& m_session;
    std::vector<long> m_frames;
    std::vector<std::string> m_imageArguments;
    PXiIPlug* m_shot = nullptr;
    long m_currentFrame = -1;
    std::list<std::pair<std::string, std::shared_ptr<const Picture>>> m_recent;
};

// Sets the parameters of the last keyer call in a script file: the script is compiled and run
// (which reads no picture) and the keyer node's plugs are read back. Throws UsageError for a
// script that does not compile or has no keyer call; a value the tuner cannot show is
// reported on standard error and left at its default.
void loadScriptParameters(Session& session, const std::string& path, KeyerSettings& settings);

}  // namespace pxhost::tuner
