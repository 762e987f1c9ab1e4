#pragma once
// Writing a file so that its final name only ever names a complete file: the data goes to a
// hidden temporary file in the same folder, which is renamed over the final name once it is
// complete. A failed or interrupted write removes the temporary file and leaves whatever the
// final name held before untouched.

#include <csignal>
#include <string>

namespace pxhost {

class AtomicOutputFile {
public:
    // Reserves a temporary file next to finalPath. Throws RenderError naming the folder when it
    // does not exist or is not writable.
    explicit AtomicOutputFile(const std::string& finalPath);
    // Removes the temporary file unless commit() succeeded.
    ~AtomicOutputFile();
    AtomicOutputFile(const AtomicOutputFile&) = delete;
    AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;

    // Where the writer puts the data.
    const std::string& tempPath() const { return m_tempPath; }
    const std::string& finalPath() const { return m_finalPath; }

    // Gives the temporary file the permissions of the file it replaces (or those a new file
    // gets) and renames it to the final name. Throws RenderError naming the file on failure (the
    // temporary file is then removed by the destructor).
    void commit();

    // Installs handlers for every catchable signal that ends the program (SIGINT, SIGTERM,
    // SIGHUP, SIGXCPU, SIGUSR1, SIGPIPE, ...) that remove the temporary files still open and
    // then end the program as the signal would have.
    static void removeTempFilesOnSignal();
    // Those signals, as a set.
    static sigset_t removalSignals();

private:
    std::string m_finalPath;
    std::string m_tempPath;
    int m_slot = -1;  // entry in the table of temporary files the signal handler removes
    bool m_committed = false;
};

// Checks that the folder a file would be written into exists, is writable and not append-only,
// and that a file already there may be replaced (not read-only); throws RenderError naming
// the file otherwise.
void checkOutputFolder(const std::string& finalPath);

}  // namespace pxhost
