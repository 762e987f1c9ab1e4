// The tuner's HTTP API, as a client sees it: the built program runs `pxhost --tune` on small
// pictures, and requests go to the address it prints.

#include <gtest/gtest.h>
#include <httplib.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "app/ImageFile.h"

namespace pxhost::test {
namespace {

using json = nlohmann::json;

constexpr int kWidth = 64;
constexpr int kHeight = 36;
constexpr int kStartSeconds = 20;
// The test plate's screen colour, and a key that takes it out.
constexpr float kScreen[3] = {0.05f, 0.11f, 0.40f};
const json kKeyValues = {{"rScreen", 0.05},
                         {"gScreen", 0.11},
                         {"bScreen", 0.4},
                         {"screenRange", 0.02},
                         {"cspace", "video"}};

// A 16-bit plate: screen on the left, a subject on the right, a soft edge between.
Raster makePlate() {
    Raster r;
    r.allocate(kWidth, kHeight, 2, kChanRGB);
    const float subject[3] = {0.8f, 0.45f, 0.3f};
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const float t = std::min(1.0f, std::max(0.0f, (x - 28) / 8.0f));
            for (int c = 0; c < 3; ++c) {
                const float v = kScreen[c] * (1 - t) + subject[c] * t + 0.002f * (y % 3);
                r.data<uint16_t>()[(y * kWidth + x) * 4 + kSampleR - c] =
                    static_cast<uint16_t>(std::lround(v * 65535));
            }
        }
    return r;
}

Raster makeBackground() {
    Raster r;
    r.allocate(kWidth, kHeight, 1, kChanRGB);
    for (size_t i = 0; i < r.sampleCount(); ++i) r.data<uint8_t>()[i] = (i * 7) % 251;
    return r;
}

// 16-bit samples as the server sends them (R, G, B, A, little-endian).
std::vector<uint16_t> samples16(const std::string& body) {
    std::vector<uint16_t> v(body.size() / 2);
    std::memcpy(v.data(), body.data(), v.size() * 2);
    return v;
}

// How many samples of a picture the page received differ from a file's.
size_t differingSamples(const std::string& body, const Raster& written) {
    static const int kOrder[4] = {kSampleR, kSampleG, kSampleB, kSampleA};
    const std::vector<uint16_t> shown = samples16(body);
    if (written.depth != 2 || shown.size() != written.sampleCount()) return shown.size() + 1;
    size_t differing = 0;
    for (size_t p = 0; p < shown.size() / 4; ++p)
        for (int c = 0; c < 4; ++c)
            differing += shown[p * 4 + c] != written.data<uint16_t>()[p * 4 + kOrder[c]];
    return differing;
}

// `pxhost --tune` running in the background, stopped with SIGTERM.
class TunerProcess {
public:
    explicit TunerProcess(const std::vector<std::string>& args) {
        int out[2];
        if (pipe(out) != 0) return;
        m_pid = fork();
        if (m_pid == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            std::vector<const char*> argv = {PXHOST_PATH, "--tune"};
            for (const std::string& a : args) argv.push_back(a.c_str());
            argv.push_back(nullptr);
            execv(PXHOST_PATH, const_cast<char* const*>(argv.data()));
            _exit(127);
        }
        close(out[1]);
        std::string line;
        pollfd p{out[0], POLLIN, 0};
        while (line.find('\n') == std::string::npos && poll(&p, 1, kStartSeconds * 1000) > 0) {
            char buf[256];
            const ssize_t n = read(out[0], buf, sizeof buf);
            if (n <= 0) break;
            line.append(buf, static_cast<size_t>(n));
        }
        close(out[0]);
        const size_t portAt = line.find("127.0.0.1:");
        const size_t tokenAt = line.find("token=");
        if (portAt == std::string::npos || tokenAt == std::string::npos) return;
        m_port = std::stoi(line.substr(portAt + 10));
        m_token = line.substr(tokenAt + 6, line.find('\n') - tokenAt - 6);
    }
    ~TunerProcess() { stop(); }

    // Stops the server as Ctrl-C would; returns its exit status (-1: it did not exit cleanly).
    int stop() {
        if (m_pid <= 0) return -1;
        kill(m_pid, SIGTERM);
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    bool running() const { return m_port > 0; }
    int port() const { return m_port; }
    const std::string& token() const { return m_token; }
    httplib::Client client() const {
        httplib::Client c("127.0.0.1", m_port);
        c.set_read_timeout(60);
        return c;
    }
    httplib::Headers auth() const { return {{"X-Tuner-Token", m_token}}; }

private:
    pid_t m_pid = -1;
    int m_port = 0;
    std::string m_token;
};

class TunerApi : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new TempDir;
        writeImage(*s_dir / "plate.png", makePlate(), {});
        writeImage(*s_dir / "background.png", makeBackground(), {});
        s_tuner = new TunerProcess({*s_dir / "plate.png", "--bg", *s_dir / "background.png",
                                    "--script", *s_dir / "key.pxs"});
    }
    static void TearDownTestSuite() {
        delete s_tuner;
        delete s_dir;
    }
    void SetUp() override { ASSERT_TRUE(s_tuner->running()) << "pxhost --tune did not start"; }

    static httplib::Result post(const std::string& path, const json& body) {
        return s_tuner->client().Post(path.c_str(), s_tuner->auth(), body.dump(),
                                      "application/json");
    }
    static TempDir* s_dir;
    static TunerProcess* s_tuner;
};
TempDir* TunerApi::s_dir = nullptr;
TunerProcess* TunerApi::s_tuner = nullptr;

// Every request needs the token and a loopback Host header.
TEST_F(TunerApi, AdmitsOnlyTokenAndLoopbackHost) {
    const std::string port = std::to_string(s_tuner->port());
    const std::string& token = s_tuner->token();
    struct Case {
        const char* what;
        std::string path;
        httplib::Headers headers;
        int status;
    };
    const std::vector<Case> cases = {
        {"token in the address", "/api/setup?token=" + token, {}, 200},
        {"token in the header", "/api/setup", {{"X-Tuner-Token", token}}, 200},
        {"the page", "/?token=" + token, {}, 200},
        {"no token", "/api/setup", {}, 403},
        {"wrong token", "/api/setup?token=" + std::string(token.size(), '0'), {}, 403},
        {"token prefix", "/api/setup?token=" + token.substr(1), {}, 403},
        {"page without token", "/", {}, 403},
        {"localhost", "/api/setup?token=" + token, {{"Host", "localhost:" + port}}, 200},
        {"foreign host", "/api/setup?token=" + token, {{"Host", "evil.example:" + port}}, 421},
        {"loopback-like name", "/api/setup?token=" + token, {{"Host", "127.0.0.1.evil"}}, 421},
        {"other port", "/api/setup?token=" + token, {{"Host", "127.0.0.1:1"}}, 421},
    };
    for (const Case& c : cases) {
        const auto r = s_tuner->client().Get(c.path.c_str(), c.headers);
        ASSERT_TRUE(r) << c.what;
        EXPECT_EQ(r->status, c.status) << c.what;
    }
}

// Bad parameters are refused with a message naming the parameter; the server keeps serving.
TEST_F(TunerApi, RefusesBadParametersNamingThem) {
    struct Case {
        std::string body;
        int status;
        const char* named;
    };
    const std::vector<Case> cases = {
        {R"({"frame":1,"values":{"rScreen":7}})", 400, "rScreen"},
        {R"({"frame":1,"values":{"gScreen":"abc"}})", 400, "gScreen"},
        {R"({"frame":1,"values":{"cspace":"Video"}})", 400, "cspace"},
        {R"({"frame":1,"values":{"rScren":0.1}})", 400, "rScren"},
        {R"({"frame":1,"values":{"useHoldOutMatte":0.5}})", 400, "useHoldOutMatte"},
        {R"({"frame":1,"values":{"rGamma":0}})", 400, "rGamma"},
        {R"({"frame":1,"values":{"rScreen":[1]}})", 400, "number or a text"},
        {R"({"frame":1,"values":[]})", 400, "values"},
        {R"({"values":{}})", 400, "frame"},
        {R"({"frame":7,"values":{}})", 400, "frame"},
        {R"({"frame":1,"view":"bogus"})", 400, "view"},
        {R"({"frame":1,"view":3})", 400, ""},
        {"not json", 400, "JSON"},
        {R"({"frame":1,"values":{"rScreen":0,"gScreen":0,"bScreen":0}})", 422,
         "keyer error: the screen colour"},
        {std::string(100 * 1024, ' '), 413, ""},
    };
    for (const Case& c : cases) {
        const auto r =
            s_tuner->client().Post("/api/key", s_tuner->auth(), c.body, "application/json");
        ASSERT_TRUE(r) << c.body.substr(0, 80);
        EXPECT_EQ(r->status, c.status) << c.body.substr(0, 80);
        EXPECT_NE(r->body.find(c.named), std::string::npos) << r->body;
    }
    EXPECT_EQ(post("/api/key", {{"frame", 1}, {"values", kKeyValues}})->status, 200);
}

// The key the page shows is the picture that pxhost writes from the saved script.
TEST_F(TunerApi, KeyEqualsTheSavedScriptsRender) {
    const auto key =
        post("/api/key", {{"frame", 1}, {"view", "composite"}, {"values", kKeyValues}});
    ASSERT_EQ(key->status, 200) << key->body;
    EXPECT_EQ(key->get_header_value("X-Width"), std::to_string(kWidth));
    EXPECT_EQ(key->get_header_value("X-Bytes-Per-Sample"), "2");
    ASSERT_EQ(key->body.size(), size_t(kWidth) * kHeight * 4 * 2);

    const auto saved = post("/api/save", {{"values", kKeyValues}});
    ASSERT_EQ(saved->status, 200) << saved->body;
    const json reply = json::parse(saved->body);
    EXPECT_EQ(reply["path"], *s_dir / "key.pxs");
    EXPECT_NE(reply["commandLine"].get<std::string>().find(*s_dir / "key.pxs"), std::string::npos);
    // Only the script was written.
    EXPECT_EQ(s_dir->list(), (std::vector<std::string>{"background.png", "key.pxs", "plate.png"}));

    const TempDir elsewhere;
    const RunResult run = runProgram(PXHOST_PATH, {*s_dir / "key.pxs"}, elsewhere.path());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(differingSamples(key->body, readImage(*s_dir / "key.png")), 0u);
    const std::vector<uint16_t> shown = samples16(key->body);
    // The key did something: the screen side is transparent, the subject opaque.
    EXPECT_EQ(shown[(10 * kWidth + 2) * 4 + 3], 0);
    EXPECT_EQ(shown[(10 * kWidth + kWidth - 2) * 4 + 3], 65535);

    // Views differ from one another; the original is the plate as stored.
    const auto original = s_tuner->client().Get("/api/original?frame=1", s_tuner->auth());
    ASSERT_EQ(original->status, 200);
    EXPECT_EQ(samples16(original->body)[(5 * kWidth + 3) * 4 + 2],
              makePlate().data<uint16_t>()[(5 * kWidth + 3) * 4 + kSampleB]);
    const auto status =
        post("/api/key", {{"frame", 1}, {"view", "status"}, {"values", kKeyValues}});
    EXPECT_NE(status->body, key->body);
}

// A tuner opened on a saved script starts from its parameters, and stops cleanly.
TEST_F(TunerApi, StartsFromAScriptsParameters) {
    json values = kKeyValues;
    values["midtoneGain"] = 0.25;
    values["output"] = "compOnBlack";
    ASSERT_EQ(post("/api/save", {{"values", values}})->status, 200);
    TunerProcess second({*s_dir / "plate.png", "--script", *s_dir / "key.pxs"});
    ASSERT_TRUE(second.running());
    const auto setup = second.client().Get("/api/setup", second.auth());
    ASSERT_EQ(setup->status, 200);
    const json loaded = json::parse(setup->body)["values"];
    EXPECT_EQ(loaded["rScreen"], "0.05");
    EXPECT_EQ(loaded["bScreen"], "0.4");
    EXPECT_EQ(loaded["cspace"], "video");
    EXPECT_EQ(loaded["midtoneGain"], "0.25");
    EXPECT_EQ(loaded["highlightGain"], "shadowGain");  // left at its default: follows
    EXPECT_EQ(loaded["output"], "compOnBlack");
    EXPECT_EQ(second.stop(), 0);
}

// With -t, every frame of the range can be keyed, and the saved script renders the range.
TEST(TunerSequence, KeysEachFrameAndSavesTheRange) {
    const TempDir dir;
    Raster plate = makePlate();
    writeImage(dir / "plate.0001.png", plate, {});
    for (size_t i = 0; i < plate.sampleCount(); i += 4 * 5)
        plate.data<uint16_t>()[i + kSampleR] = 0;
    writeImage(dir / "plate.0002.png", plate, {});
    TunerProcess tuner({dir / "plate.####.png", "-t", "1-2", "--script", dir / "seq.pxs"});
    ASSERT_TRUE(tuner.running());
    const auto setup = tuner.client().Get("/api/setup", tuner.auth());
    EXPECT_EQ(json::parse(setup->body)["frames"], json::array({1, 2}));
    const auto key = [&](int frame) {
        return tuner.client().Post("/api/key", tuner.auth(),
                                   json{{"frame", frame}, {"values", kKeyValues}}.dump(),
                                   "application/json");
    };
    const auto first = key(1), second = key(2);
    ASSERT_EQ(first->status, 200);
    ASSERT_EQ(second->status, 200);
    EXPECT_NE(first->body, second->body);
    EXPECT_EQ(key(3)->status, 400);

    const auto saved = tuner.client().Post("/api/save", tuner.auth(),
                                           json{{"values", kKeyValues}}.dump(), "application/json");
    ASSERT_EQ(saved->status, 200);
    const std::string command = json::parse(saved->body)["commandLine"];
    EXPECT_NE(command.find("-t 1-2 "), std::string::npos) << command;
    const TempDir elsewhere;
    ASSERT_EQ(runProgram(PXHOST_PATH, {"-t", "1-2", dir / "seq.pxs"}, elsewhere.path()).status, 0);
    EXPECT_EQ(differingSamples(second->body, readImage(dir / "seq.0002.png")), 0u);
    EXPECT_EQ(tuner.stop(), 0);
}

}  // namespace
}  // namespace pxhost::test
