#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "TestFiles.h"
#include "app/AtomicOutputFile.h"
#include "app/HostError.h"

namespace pxhost {
namespace {

using test::TempDir;

TEST(AtomicOutputFile, CommitReplacesTheFinalFileWhole) {
    TempDir dir;
    const std::string target = dir / "out.png";
    test::writeText(target, "old");
    {
        AtomicOutputFile file(target);
        // The temporary file is hidden, in the same folder (so the rename is atomic), and the
        // final name still holds the old contents while it is written.
        EXPECT_EQ(file.tempPath().rfind(dir.path() + "/.out.png.", 0), 0u);
        test::writeText(file.tempPath(), "new contents");
        EXPECT_EQ(test::readText(target), "old");
        file.commit();
    }
    EXPECT_EQ(test::readText(target), "new contents");
    EXPECT_EQ(dir.list(), std::vector<std::string>{"out.png"});
}

TEST(AtomicOutputFile, AbandonedWriteLeavesNothingAndKeepsTheOldFile) {
    TempDir dir;
    test::writeText(dir / "kept.tif", "old");
    {
        AtomicOutputFile file(dir / "kept.tif");
        test::writeText(file.tempPath(), "half");
        AtomicOutputFile other(dir / "never.tif");
    }
    EXPECT_EQ(test::readText(dir / "kept.tif"), "old");
    EXPECT_EQ(dir.list(), std::vector<std::string>{"kept.tif"});
}

TEST(AtomicOutputFile, CommittedFileGetsTheUsualPermissions) {
    TempDir dir;
    const mode_t old = umask(022);
    {
        AtomicOutputFile file(dir / "p.png");
        file.commit();
    }
    umask(old);
    struct stat st;
    ASSERT_EQ(stat((dir / "p.png").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST(AtomicOutputFile, RefusesFoldersThatCannotTakeTheFile) {
    TempDir dir;
    mkdir((dir / "sub").c_str(), 0755);
    struct Case {
        std::string path;
        const char* words;
    };
    const Case cases[] = {
        {dir / "missing/out.png", "does not exist"},
        {dir / "sub", "is a folder"},
        {dir / "sub/", "is a folder"},
        {"", "empty"},
    };
    for (const Case& c : cases) {
        try {
            AtomicOutputFile file(c.path);
            ADD_FAILURE() << "accepted " << c.path;
        } catch (const RenderError& e) {
            EXPECT_NE(std::string(e.what()).find(c.words), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.path), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(dir.list(), std::vector<std::string>{"sub"});
}

TEST(AtomicOutputFile, RefusesAReadOnlyFolder) {
    // The superuser may write into any ordinary folder, but not into /sys.
    TempDir dir;
    mkdir((dir / "ro").c_str(), 0555);
    const std::string target = geteuid() == 0 ? "/sys/out.png" : dir / "ro/out.png";
    try {
        AtomicOutputFile file(target);
        ADD_FAILURE() << "accepted " << target;
    } catch (const RenderError& e) {
        EXPECT_NE(std::string(e.what()).find("is not writable"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(dir.list("ro").empty());
    chmod((dir / "ro").c_str(), 0755);
}

}  // namespace
}  // namespace pxhost
