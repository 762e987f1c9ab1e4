#pragma once
// Helpers of the host program's tests: a scratch folder removed afterwards, folder listings,
// and running the built program.

#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace pxhost::test {

class TempDir {
public:
    TempDir() {
        char name[] = "/tmp/pxhost-test-XXXXXX";
        const char* made = mkdtemp(name);
        m_path = made ? made : "";
    }
    ~TempDir() {
        if (!m_path.empty()) std::system(("rm -rf '" + m_path + "'").c_str());
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

    // Every entry of the folder (hidden ones too), sorted.
    std::vector<std::string> list(const std::string& sub = "") const {
        std::vector<std::string> names;
        DIR* dir = opendir((sub.empty() ? m_path : m_path + "/" + sub).c_str());
        if (!dir) return names;
        while (dirent* e = readdir(dir)) {
            const std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        closedir(dir);
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string m_path;
};

inline bool fileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

inline std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Quotes one argument for the shell.
inline std::string shellQuote(const std::string& arg) {
    std::string q = "'";
    for (char c : arg) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

struct RunResult {
    int status = -1;  // exit status, or -1 when the program did not exit normally
    std::string out;
    std::string err;
};

// Runs the program with the arguments in folder `cwd`, capturing its output streams.
inline RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                            const std::string& cwd) {
    const std::string outFile = cwd + "/.stdout", errFile = cwd + "/.stderr";
    std::string command = "cd " + shellQuote(cwd) + " && " + shellQuote(program);
    for (const std::string& a : args) command += " " + shellQuote(a);
    command += " >" + shellQuote(outFile) + " 2>" + shellQuote(errFile) + " </dev/null";
    const int raw = std::system(command.c_str());
    RunResult r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = readText(outFile);
    r.err = readText(errFile);
    unlink(outFile.c_str());
    unlink(errFile.c_str());
    return r;
}

}  // namespace pxhost::test
