#include "app/tuner/TunerServer.h"

#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>

#include "app/AtomicOutputFile.h"
#include "app/HostError.h"
#include "app/tuner/TunerPage.h"

namespace pxhost::tuner {
namespace {

using json = nlohmann::json;

constexpr const char* kLoopback = "127.0.0.1";
constexpr size_t kMaxRequestBody = 64 * 1024;  // a full set of parameters is about 2 KB
constexpr size_t kTokenBytes = 16;
constexpr const char* kTokenHeader = "X-Tuner-Token";

enum HttpStatus : int {
    kOk = 200,
    kBadRequest = 400,
    kForbidden = 403,
    kNotFound = 404,
    kMisdirected = 421,
    kUnprocessable = 422,
    kServerError = 500,
};

std::string randomToken() {
    std::random_device device;
    static const char kHex[] = "0123456789abcdef";
    std::string token;
    for (size_t i = 0; i < kTokenBytes; ++i) {
        const unsigned byte = device() & 0xff;
        token += kHex[byte >> 4];
        token += kHex[byte & 0xf];
    }
    return token;
}

// Compares in time independent of where the texts differ.
bool sameToken(const std::string& given, const std::string& token) {
    if (given.size() != token.size()) return false;
    unsigned char diff = 0;
    for (size_t i = 0; i < token.size(); ++i) diff |= given[i] ^ token[i];
    return diff == 0;
}

// A Host header that names this machine's loopback address, with our port or none.
bool loopbackHost(const std::string& host, int port) {
    static const char* const kNames[] = {"127.0.0.1", "localhost", "[::1]"};
    for (const char* name : kNames) {
        const std::string n = name;
        if (host == n || host == n + ":" + std::to_string(port)) return true;
    }
    return false;
}

void sendError(httplib::Response& response, int status, const std::string& message) {
    response.status = status;
    response.set_content(json{{"error", message}}.dump(), "application/json");
}

void sendPicture(httplib::Response& response, std::shared_ptr<const Picture> picture,
                 double milliseconds) {
    response.set_header("X-Width", std::to_string(picture->width));
    response.set_header("X-Height", std::to_string(picture->height));
    response.set_header("X-Bytes-Per-Sample", std::to_string(picture->bytesPerSample));
    response.set_header("X-Channels", std::to_string(picture->channels));
    char ms[32];
    std::snprintf(ms, sizeof ms, "%.1f", milliseconds);
    response.set_header("X-Render-Ms", ms);
    // Sent from the picture itself, which the response keeps alive: no copy of the samples.
    response.set_content_provider(
        picture->samples.size(), "application/octet-stream",
        [picture](size_t offset, size_t length, httplib::DataSink& sink) {
            return sink.write(reinterpret_cast<const char*>(picture->samples.data()) + offset,
                              length);
        });
}

std::string shellWord(const std::string& word) {
    if (word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                               "0123456789_-+./,:=@%") == std::string::npos)
        return word;
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// A JSON value as the text a script would give: texts as they are, numbers as written.
std::string valueText(const json& value) {
    if (value.is_string()) return value.get<std::string>();
    if (value.is_number()) return value.dump();
    throw InvalidParameter("a parameter value must be a number or a text, not " + value.dump());
}

json describeParameter(const KeyerParameter& p) {
    static const char* const kKinds[] = {"float", "int", "text"};
    json d = {{"name", p.name},           {"kind", kKinds[static_cast<int>(p.kind)]},
              {"default", p.defaultText}, {"follows", p.followsByDefault},
              {"min", p.minimum},         {"max", p.maximum},
              {"bounded", p.bounded},     {"group", p.group},
              {"help", p.help},           {"accepted", p.accepted}};
    return d;
}

}  // namespace

TunerServer::TunerServer(TunerKeyer& keyer, const TunerSetup& setup, int port)
    : m_keyer(keyer),
      m_setup(setup),
      m_server(std::make_unique<httplib::Server>()),
      m_token(randomToken()) {
    m_server->set_payload_max_length(kMaxRequestBody);
    routes();
    if (port == 0)
        m_port = m_server->bind_to_any_port(kLoopback);
    else
        m_port = m_server->bind_to_port(kLoopback, port) ? port : -1;
    if (m_port <= 0)
        throw UsageError("--port " + std::to_string(port) + ": cannot listen on " + kLoopback);
}

TunerServer::~TunerServer() = default;

std::string TunerServer::url() const {
    return std::string("http://") + kLoopback + ":" + std::to_string(m_port) + "/?token=" + m_token;
}

void TunerServer::run() { m_server->listen_after_bind(); }

void TunerServer::stop() { m_server->stop(); }

bool TunerServer::admit(const httplib::Request& request, httplib::Response& response) const {
    if (!loopbackHost(request.get_header_value("Host"), m_port)) {
        sendError(response, kMisdirected, "this server answers only to 127.0.0.1");
        return false;
    }
    const std::string given = request.has_header(kTokenHeader)
                                  ? request.get_header_value(kTokenHeader)
                                  : request.get_param_value("token");
    if (!sameToken(given, m_token)) {
        sendError(response, kForbidden, "open the address that pxhost printed (with its token)");
        return false;
    }
    return true;
}

std::string TunerServer::commandLine() const {
    std::string line = "pxhost";
    if (!m_setup.inputs.frames.empty()) line += " -t " + shellWord(m_setup.inputs.frames);
    return line + " " + shellWord(m_setup.scriptPath);
}

std::string TunerServer::scriptText(const KeyerSettings& settings) const {
    const TunerInputs& in = m_setup.inputs;
    const std::string files[] = {in.shot, in.background, in.holdOut, in.garbage};
    const std::vector<std::string>& names = m_keyer.imageArguments();
    std::string text =
        "# Keyer settings chosen with pxhost --tune.\n# Render: " + commandLine() + "\n";
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] != "0") text += names[i] + " = FileIn(" + quoteScriptText(files[i]) + ");\n";
    text += "key = " + settings.call(names) + ";\n";
    text += "FileOut(key, " + quoteScriptText(m_setup.outputPattern) + ");\n";
    return text;
}

KeyerSettings TunerServer::settingsFrom(const std::string& body, long* frame, View* view) const {
    const json request = json::parse(body, nullptr, false);
    if (!request.is_object()) throw InvalidParameter("the request is not a JSON object");
    KeyerSettings settings(m_setup.initial.command());
    if (request.contains("values")) {
        const json& values = request["values"];
        if (!values.is_object()) throw InvalidParameter("values: expected an object");
        for (const auto& item : values.items()) settings.set(item.key(), valueText(item.value()));
    }
    if (frame) {
        if (!request.contains("frame") || !request["frame"].is_number_integer())
            throw InvalidParameter("frame: expected a whole number");
        *frame = request["frame"].get<long>();
    }
    if (view) *view = parseView(request.value("view", std::string("composite")));
    return settings;
}

void TunerServer::routes() {
    httplib::Server& s = *m_server;
    s.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
        return admit(request, response) ? httplib::Server::HandlerResponse::Unhandled
                                        : httplib::Server::HandlerResponse::Handled;
    });
    s.set_exception_handler(
        [](const httplib::Request&, httplib::Response& response, std::exception_ptr error) {
            std::string message = "internal error";
            try {
                if (error) std::rethrow_exception(error);
            } catch (const std::exception& e) {
                message = e.what();
            }
            sendError(response, kServerError, message);
        });
    for (const PageAsset& asset : pageAssets()) {
        s.Get(asset.path, [this, &asset](const httplib::Request&, httplib::Response& response) {
            std::string content(reinterpret_cast<const char*>(asset.data), asset.size);
            const std::string mark = "{{TOKEN}}";
            for (size_t at = content.find(mark); at != std::string::npos;
                 at = content.find(mark, at))
                content.replace(at, mark.size(), m_token);
            response.set_header("Cache-Control", "no-store");
            response.set_content(content, asset.type);
        });
    }
    s.Get("/api/setup", [this](const httplib::Request&, httplib::Response& response) {
        const KeyerCommand& command = m_setup.initial.command();
        json parameters = json::array();
        json values = json::object();
        for (const KeyerParameter& p : command.parameters) {
            parameters.push_back(describeParameter(p));
            values[p.name] = m_setup.initial.value(p.name);
        }
        const TunerInputs& in = m_setup.inputs;
        json reply = {{"command", command.name},
                      {"images", command.imageNames},
                      {"parameters", parameters},
                      {"values", values},
                      {"frames", m_keyer.frames()},
                      {"inputs",
                       {{"shot", in.shot},
                        {"background", in.background},
                        {"holdOut", in.holdOut},
                        {"garbage", in.garbage}}},
                      {"scriptPath", m_setup.scriptPath},
                      {"commandLine", commandLine()}};
        response.set_content(reply.dump(), "application/json");
    });
    const auto picture = [this](const httplib::Request& request, httplib::Response& response,
                                bool original) {
        const auto start = std::chrono::steady_clock::now();
        try {
            long frame = 0;
            View view = View::Original;
            KeyerSettings settings =
                original ? m_setup.initial : settingsFrom(request.body, &frame, &view);
            if (original) {
                frame = std::stol(request.get_param_value("frame"));
            }
            std::lock_guard<std::mutex> lock(m_keying);
            const std::shared_ptr<const Picture> result =
                m_keyer.render(frame, settings, original ? View::Original : view);
            const double ms =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count();
            sendPicture(response, result, ms);
        } catch (const InvalidParameter& e) {
            sendError(response, kBadRequest, e.what());
        } catch (const json::exception& e) {
            sendError(response, kBadRequest, e.what());
        } catch (const std::invalid_argument&) {
            sendError(response, kBadRequest, "frame: expected a whole number");
        } catch (const std::out_of_range&) {
            sendError(response, kBadRequest, "frame: out of range");
        } catch (const HostError& e) {
            sendError(response, kUnprocessable, e.what());
        }
    };
    s.Get("/api/original", [picture](const httplib::Request& request, httplib::Response& response) {
        picture(request, response, true);
    });
    s.Post("/api/key", [picture](const httplib::Request& request, httplib::Response& response) {
        picture(request, response, false);
    });
    s.Post("/api/script", [this](const httplib::Request& request, httplib::Response& response) {
        try {
            const KeyerSettings settings = settingsFrom(request.body, nullptr, nullptr);
            response.set_content(json{{"script", scriptText(settings)}}.dump(), "application/json");
        } catch (const InvalidParameter& e) {
            sendError(response, kBadRequest, e.what());
        } catch (const json::exception& e) {
            sendError(response, kBadRequest, e.what());
        }
    });
    s.Post("/api/save", [this](const httplib::Request& request, httplib::Response& response) {
        try {
            const KeyerSettings settings = settingsFrom(request.body, nullptr, nullptr);
            const std::string text = scriptText(settings);
            AtomicOutputFile file(m_setup.scriptPath);
            {
                std::ofstream out(file.tempPath(), std::ios::binary | std::ios::trunc);
                out << text;
                out.flush();
                if (!out) throw RenderError(m_setup.scriptPath + ": cannot write the script");
            }
            file.commit();
            response.set_content(
                json{{"path", m_setup.scriptPath}, {"commandLine", commandLine()}, {"script", text}}
                    .dump(),
                "application/json");
        } catch (const InvalidParameter& e) {
            sendError(response, kBadRequest, e.what());
        } catch (const json::exception& e) {
            sendError(response, kBadRequest, e.what());
        } catch (const HostError& e) {
            sendError(response, kUnprocessable, e.what());
        }
    });
}

}  // namespace pxhost::tuner
