// Plug-ins loaded at run time: their static initialisation registers classes and declares
// commands that scripts then call in the library; broken and missing libraries are reported by
// name with the reason while the others still load.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "script_fixture.h"
#include "sdk/graph/PXiClassName.h"
#include "sdk/plugin/PXiPluginLoader.h"

namespace {

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The text the test plug-in's command remembers of its last call.
std::string lastCallOfTestPlugin() {
    void* handle = dlopen(SCRIPT_TEST_PLUGIN, RTLD_NOW | RTLD_NOLOAD);
    if (!handle) return "(not loaded)";
    auto fn = reinterpret_cast<const char* (*)()>(dlsym(handle, "ScriptTestKey_lastCall"));
    std::string text = fn ? fn() : "(no ScriptTestKey_lastCall)";
    dlclose(handle);  // only drops the reference NOLOAD took
    return text;
}

// A scratch folder, removed with its files afterwards.
class ScratchFolder {
public:
    ScratchFolder() {
        char name[] = "/tmp/pxsdk_plugins_XXXXXX";
        m_path = mkdtemp(name) ? name : "";
    }
    ~ScratchFolder() {
        for (const std::string& f : m_files) unlink(f.c_str());
        if (!m_path.empty()) rmdir(m_path.c_str());
    }
    const std::string& path() const { return m_path; }
    std::string write(const std::string& name, const std::string& content) {
        std::string f = m_path + "/" + name;
        std::ofstream(f) << content;
        m_files.push_back(f);
        return f;
    }
    std::string link(const std::string& name, const std::string& target) {
        std::string f = m_path + "/" + name;
        EXPECT_EQ(symlink(target.c_str(), f.c_str()), 0);
        m_files.push_back(f);
        return f;
    }

private:
    std::string m_path;
    std::vector<std::string> m_files;
};

class PluginLoader : public ::testing::Test {
protected:
    void SetUp() override {
        // Scripts run under the global scope, where plug-ins declare; a source of images is
        // bound in between.
        ASSERT_EQ(PXiCmplr().declareHostFunction(&images, "extern image Plate(string name);",
                                                 recorder.function(), "host"),
                  PXiCmplr::kOk);
    }
    PXiScriptResult run(const std::string& text) {
        return PXiRunScript(text, "plugin.pxs", &images);
    }

    PXiScope images{PXiScope::getGlobal()};
    CallRecorder recorder;
};

TEST_F(PluginLoader, PluginRegistersItsClassAndCommandThatAScriptCalls) {
    PXiPluginLoader loader;
    PXiPluginReport report = loader.load(SCRIPT_TEST_PLUGIN);
    ASSERT_TRUE(report.ok) << report.reason;
    EXPECT_EQ(report.path, SCRIPT_TEST_PLUGIN);
    EXPECT_TRUE(PXiClassName::isRegistered(PXiName::getString("ScriptTestKey")));
    EXPECT_EQ(PXiClassName::getParent(PXiName::getString("ScriptTestKey")),
              PXiName::getString("PXiNadic"));
    auto f = PXiScope::getGlobal()->findFunction("ScriptTestKey");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->origin, "Test keyer");
    EXPECT_EQ(f->library, SCRIPT_TEST_PLUGIN);

    PXiScriptResult r =
        run("fg = Plate(\"fg\");\n"
            "k = ScriptTestKey(fg, 0, \"matte\", 2.5);\n");
    ASSERT_TRUE(r.ok()) << r.error->what();
    EXPECT_EQ(r.image("k"), r.image("fg"));
    EXPECT_EQ(lastCallOfTestPlugin(), "fg - matte 2.5 2.5");

    r = run("k = ScriptTestKey(0, Plate(\"bg\"));");
    ASSERT_TRUE(r.ok()) << r.error->what();
    EXPECT_EQ(r.image("k"), recorder.calls.back().result);
    EXPECT_EQ(lastCallOfTestPlugin(), "- bg screen 1.0 1.0");

    // Loading it again changes nothing.
    EXPECT_TRUE(loader.load(SCRIPT_TEST_PLUGIN).ok);
    EXPECT_EQ(loader.reports().size(), 2u);
}

TEST_F(PluginLoader, ErrorThrownInAPluginCommandIsAScriptErrorAtTheCall) {
    ASSERT_TRUE(PXiPluginLoader().load(SCRIPT_TEST_PLUGIN).ok);
    PXiScriptResult r = run("fg = Plate(\"fg\");\n  k = ScriptTestKey(fg, fg, \"fail\");\n");
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error->file(), "plugin.pxs");
    EXPECT_EQ(r.error->line(), 2);
    EXPECT_EQ(r.error->column(), 7);
    EXPECT_EQ(r.error->message(), "ScriptTestKey failed: mode 'fail' cannot key anything");
}

TEST_F(PluginLoader, BadLibrariesAreReportedByNameAndTheOthersStillLoad) {
    ScratchFolder folder;
    ASSERT_FALSE(folder.path().empty());
    std::string broken = folder.link("a_broken.so", SCRIPT_BROKEN_PLUGIN);
    std::string garbage = folder.write("b_garbage.so", "this is not a shared library\n");
    std::string good = folder.link("c_good.so", SCRIPT_TEST_PLUGIN);
    folder.write("notes.txt", "not a plug-in");

    PXiPluginLoader loader;
    std::vector<PXiPluginReport> reports = loader.loadFolder(folder.path());
    ASSERT_EQ(reports.size(), 3u);

    EXPECT_EQ(reports[0].path, broken);
    EXPECT_FALSE(reports[0].ok);
    // The declaration's error, placed in the text the plug-in compiled, and its status.
    EXPECT_TRUE(contains(reports[0].reason, "Broken test keyer:2:38: expected ',' or ')'"))
        << reports[0].reason;
    EXPECT_TRUE(contains(reports[0].reason, "plug-in 'Broken test keyer' reports status 1"))
        << reports[0].reason;
    EXPECT_EQ(PXiScope::getGlobal()->findFunction("ScriptBrokenKey"), nullptr);

    EXPECT_EQ(reports[1].path, garbage);
    EXPECT_FALSE(reports[1].ok);
    EXPECT_TRUE(contains(reports[1].reason, garbage)) << reports[1].reason;

    EXPECT_EQ(reports[2].path, good);
    EXPECT_TRUE(reports[2].ok) << reports[2].reason;
    PXiScriptResult r = run("k = ScriptTestKey(Plate(\"fg\"), 0, \"status\");");
    ASSERT_TRUE(r.ok()) << r.error->what();
    EXPECT_EQ(lastCallOfTestPlugin(), "fg - status 1.0 1.0");

    // The broken library stays loaded; loading it again repeats its failure.
    PXiPluginReport again = loader.load(SCRIPT_BROKEN_PLUGIN);
    EXPECT_FALSE(again.ok);
    EXPECT_EQ(again.reason, reports[0].reason);
    EXPECT_EQ(loader.reports().size(), 4u);
}

TEST_F(PluginLoader, MissingLibraryOrFolderIsReportedByName) {
    PXiPluginLoader loader;
    PXiPluginReport missing = loader.load("/nonexistent/libpxnothing.so");
    EXPECT_FALSE(missing.ok);
    EXPECT_TRUE(contains(missing.reason, "/nonexistent/libpxnothing.so")) << missing.reason;

    std::vector<PXiPluginReport> folder = loader.loadFolder("/nonexistent/plugins");
    ASSERT_EQ(folder.size(), 1u);
    EXPECT_EQ(folder[0].path, "/nonexistent/plugins");
    EXPECT_FALSE(folder[0].ok);
    EXPECT_TRUE(contains(folder[0].reason, "cannot read the folder")) << folder[0].reason;

    ScratchFolder empty;
    EXPECT_TRUE(loader.loadFolder(empty.path()).empty());
}

}  // namespace
