#pragma once
// The tuner's web server: the page and its API on the loopback address. Every request needs
// the random token of the printed address and a loopback Host header (a page of another site
// cannot reach the server through a name that resolves to 127.0.0.1). Keying requests are
// served one at a time; the only file written is the script path fixed at start.

#include <memory>
#include <mutex>
#include <string>

#include "app/tuner/KeyerSettings.h"
#include "app/tuner/TunerKeyer.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace pxhost::tuner {

struct TunerSetup {
    TunerInputs inputs;
    std::string scriptPath;     // where "Save script" writes (absolute)
    std::string outputPattern;  // the picture file(s) the saved script writes
    KeyerSettings initial;      // the parameters the page starts from
};

class TunerServer {
public:
    // Binds to 127.0.0.1 on port (0: any free port). Throws UsageError when the port is taken.
    TunerServer(TunerKeyer& keyer, const TunerSetup& setup, int port);
    ~TunerServer();
    TunerServer(const TunerServer&) = delete;
    TunerServer& operator=(const TunerServer&) = delete;

    int port() const { return m_port; }
    const std::string& token() const { return m_token; }
    // The address to open, token included.
    std::string url() const;

    // Serves until stop() is called (from another thread).
    void run();
    void stop();

    // The script "Save script" writes for these parameters.
    std::string scriptText(const KeyerSettings& settings) const;
    // The command line that renders the saved script.
    std::string commandLine() const;

private:
    bool admit(const httplib::Request& request, httplib::Response& response) const;
    void routes();
    KeyerSettings settingsFrom(const std::string& body, long* frame, View* view) const;

    TunerKeyer& m_keyer;
    TunerSetup m_setup;
    std::unique_ptr<httplib::Server> m_server;
    std::mutex m_keying;  // one render at a time through the session
    std::string m_token;
    int m_port = 0;
};

}  // namespace pxhost::tuner
