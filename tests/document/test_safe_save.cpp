// Saving over an existing project: every failing step leaves the old file, the reason
// reaches the caller, and the name never stands without a whole file.
#include "base/uErrors.h"
#include "base/uTextFile.h"
#include "document/uProjectDocument.h"
#include "scene/uSceneObject.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
class SafeSaveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Dir = fs::temp_directory_path() /
              ("quill_safe_save_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Dir);
        fs::create_directories(Dir);
        Path = (Dir / "project.qstn").string();
        Doc.GetScene().AddPrimitive(ptCube);
        Doc.SaveToFile(Path, true);
        Old = Read(Path);
        Doc.GetScene().AddPrimitive(ptSphere);
        ASSERT_TRUE(Doc.IsModified());
    }
    void TearDown() override
    {
        SetFileFaultHook(nullptr);
        fs::permissions(Dir, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(Dir);
    }
    static std::string Read(const std::string& File)
    {
        std::ifstream in(File, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    // The error of a save that must fail ("" and a test failure when it succeeds).
    std::string FailedSave(const std::string& Name)
    {
        try {
            Doc.SaveToFile(Name, true);
        } catch (const std::exception& e) {
            return e.what();
        }
        ADD_FAILURE() << "the save of " << Name << " succeeded";
        return {};
    }
    static mode_t Mode(const std::string& File)
    {
        struct stat st {};
        ::lstat(File.c_str(), &st);
        return st.st_mode;
    }

    TProjectDocument Doc;
    fs::path Dir;
    std::string Path;
    std::string Old;
};
}  // namespace

TEST_F(SafeSaveTest, KeepsTheFileModeAndWritesThroughLinks)
{
    fs::permissions(Path, fs::perms::owner_read | fs::perms::owner_write);
    Doc.SaveToFile(Path, true);
    EXPECT_EQ(Mode(Path) & 07777, 0600u);
    EXPECT_NE(Read(Path), Old);
    EXPECT_FALSE(fs::exists(Path + ".tmp"));
    EXPECT_FALSE(fs::exists(Path + ".bak"));

    // A relative link, through a second link, into another folder.
    fs::create_directories(Dir / "real");
    const std::string target = (Dir / "real" / "scene.qstn").string();
    std::ofstream(target, std::ios::binary) << "old";
    fs::create_symlink("real/scene.qstn", Dir / "inner.qstn");
    fs::create_symlink("inner.qstn", Dir / "outer.qstn");
    Doc.GetScene().AddPrimitive(ptCone);
    Doc.SaveToFile((Dir / "outer.qstn").string(), true);
    EXPECT_TRUE(fs::is_symlink(Dir / "outer.qstn"));
    EXPECT_TRUE(fs::is_symlink(Dir / "inner.qstn"));
    EXPECT_EQ(Read(target), Read((Dir / "outer.qstn").string()));
    EXPECT_EQ(Read(target).rfind("#Quillstone", 0), 0u);
    EXPECT_FALSE(fs::exists(target + ".tmp"));
    EXPECT_FALSE(fs::exists(target + ".bak"));

    // A link to a file not made yet creates it.
    fs::create_symlink((Dir / "real" / "new.qstn").string(), Dir / "dangling.qstn");
    Doc.SaveToFile((Dir / "dangling.qstn").string(), true);
    EXPECT_TRUE(fs::is_symlink(Dir / "dangling.qstn"));
    EXPECT_TRUE(fs::is_regular_file(Dir / "real" / "new.qstn"));
}

TEST_F(SafeSaveTest, TouchesNothingThatIsNotARegularWritableFile)
{
    const std::string folder = (Dir / "folder.qstn").string();
    fs::create_directories(folder);
    EXPECT_NE(FailedSave(folder).find("a folder has that name"), std::string::npos);
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_FALSE(fs::exists(folder + ".bak"));

    const std::string fifo = (Dir / "pipe.qstn").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_NE(FailedSave(fifo).find("not a regular file"), std::string::npos);
    EXPECT_EQ(Mode(fifo) & S_IFMT, static_cast<mode_t>(S_IFIFO));

    fs::permissions(Path, fs::perms::owner_read | fs::perms::group_read);
    EXPECT_NE(FailedSave(Path).find("the file is read-only"), std::string::npos);
    EXPECT_EQ(Read(Path), Old);
    fs::permissions(Path, fs::perms::owner_read | fs::perms::owner_write);

    // Folders, even empty ones, at the temporary and backup names stay.
    for (const char* suffix : {".tmp", ".bak"}) {
        fs::create_directories(Path + suffix);
        EXPECT_NE(FailedSave(Path).find("is not a regular file"), std::string::npos) << suffix;
        EXPECT_TRUE(fs::is_directory(Path + suffix));
        EXPECT_EQ(Read(Path), Old);
        fs::remove(Path + suffix);
    }
    EXPECT_TRUE(Doc.IsModified());
}

// Each call of a save fails in turn, with a reason of its kind. Before the rename the
// name holds the old file, after it the new one; at no call is it missing or partial.
TEST_F(SafeSaveTest, EveryFailingStepKeepsTheOldFileAndSaysWhy)
{
    const std::map<TFileCall, int> reasons = {
        {TFileCall::Create, EACCES}, {TFileCall::Write, ENOSPC},  {TFileCall::Sync, EIO},
        {TFileCall::Close, EIO},     {TFileCall::Delete, EACCES}, {TFileCall::Link, EMLINK},
        {TFileCall::Copy, EDQUOT},   {TFileCall::Rename, EBUSY},  {TFileCall::SyncFolder, EIO},
    };
    int failedSaves = 0;
    std::map<TFileCall, int> seen;
    for (int failAt = 0;; ++failAt) {
        // Stale temporary and backup files make the deletes part of the save.
        std::ofstream(Path + ".tmp", std::ios::binary) << "stale";
        std::ofstream(Path + ".bak", std::ios::binary) << "stale";
        int calls = 0;
        bool renamed = false;
        TFileCall failed{};
        SetFileFaultHook([&](TFileCall Call, const std::string&) {
            const std::string now = Read(Path);
            EXPECT_TRUE(renamed ? now != Old : now == Old) << "call " << calls;
            if (calls++ != failAt) {
                renamed = renamed || Call == TFileCall::Rename;
                return 0;
            }
            failed = Call;
            return reasons.at(Call);
        });
        std::string error;
        try {
            Doc.SaveToFile(Path, true);
        } catch (const std::exception& e) {
            error = e.what();
        }
        SetFileFaultHook(nullptr);
        const bool faultFired = calls > failAt;
        if (!faultFired) {
            EXPECT_EQ(error, "");
            break;
        }
        ++seen[failed];
        if (error.empty()) {
            // Only what follows the rename may fail without failing the save.
            EXPECT_TRUE(failed == TFileCall::SyncFolder || failed == TFileCall::Delete ||
                        failed == TFileCall::Link)
                << static_cast<int>(failed);
            EXPECT_NE(Read(Path), Old);
            EXPECT_FALSE(Doc.IsModified());
        } else {
            ++failedSaves;
            EXPECT_NE(error.find(std::strerror(reasons.at(failed))), std::string::npos)
                << "call " << failAt << ": " << error;
            EXPECT_EQ(error.find("No such file"), std::string::npos) << error;
            EXPECT_EQ(Read(Path), Old) << "call " << failAt;
            // No partial new file stays; a stale one that could not be deleted may.
            EXPECT_TRUE(!fs::exists(Path + ".tmp") || Read(Path + ".tmp") == "stale");
            EXPECT_TRUE(Doc.IsModified());
        }
        // Back to the old file and a modified document for the next round.
        std::ofstream(Path, std::ios::binary | std::ios::trunc) << Old;
        Doc.MarkChanged();
    }
    EXPECT_GE(failedSaves, 7);
    for (TFileCall call : {TFileCall::Create, TFileCall::Write, TFileCall::Sync, TFileCall::Close,
                           TFileCall::Delete, TFileCall::Link, TFileCall::Rename})
        EXPECT_EQ(seen.count(call), 1u) << static_cast<int>(call);
}

TEST_F(SafeSaveTest, NoHardLinksMeansACopiedBackup)
{
    // A file system without hard links: the backup is a copy, and the save goes on.
    SetFileFaultHook(
        [](TFileCall Call, const std::string&) { return Call == TFileCall::Link ? EPERM : 0; });
    Doc.SaveToFile(Path, true);
    EXPECT_NE(Read(Path), Old);
    EXPECT_FALSE(fs::exists(Path + ".bak"));
    // And when the copy fails too, the save stops before the old file is touched.
    Doc.GetScene().AddPrimitive(ptTorus);
    const std::string before = Read(Path);
    SetFileFaultHook([](TFileCall Call, const std::string&) {
        return Call == TFileCall::Link ? EPERM : Call == TFileCall::Copy ? ENOSPC : 0;
    });
    const std::string error = FailedSave(Path);
    EXPECT_EQ(error.rfind("Unable to create scene backup: " + Path, 0), 0u) << error;
    EXPECT_NE(error.find(std::strerror(ENOSPC)), std::string::npos);
    EXPECT_EQ(Read(Path), before);
}

TEST_F(SafeSaveTest, AFileSizeLimitFailsTheSaveInsteadOfEndingTheEditor)
{
    for (int i = 0; i < 20; ++i)
        Doc.GetScene().AddPrimitive(ptSphere);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string error;
    try {
        Doc.SaveToFile(Path, true);
    } catch (const std::exception& e) {
        error = e.what();
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_NE(error.find(std::strerror(EFBIG)), std::string::npos) << error;
    EXPECT_EQ(Read(Path), Old);
    EXPECT_FALSE(fs::exists(Path + ".tmp"));
    EXPECT_TRUE(Doc.IsModified());
}

// The user knows the file by its name: a folder that takes no new file reports the file
// as read-only, and a full disk names the file being saved, not its temporary copy.
TEST_F(SafeSaveTest, AReadOnlyFolderAndAFullDiskNameTheUsersFile)
{
    const struct {
        TFileCall call;
        int reason;
        std::string says;
    } cases[] = {
        {TFileCall::Create, EACCES, "the file is read-only"},
        {TFileCall::Create, EROFS, "the file is read-only"},
        {TFileCall::Write, ENOSPC, std::strerror(ENOSPC)},
        {TFileCall::Sync, EDQUOT, std::strerror(EDQUOT)},
    };
    for (const auto& c : cases) {
        SetFileFaultHook(
            [&](TFileCall Call, const std::string&) { return Call == c.call ? c.reason : 0; });
        const std::string error = FailedSave(Path);
        SetFileFaultHook(nullptr);
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
        EXPECT_NE(error.find("\"" + Path + "\""), std::string::npos) << error;
        EXPECT_EQ(error.find(".tmp"), std::string::npos) << error;
        EXPECT_EQ(Read(Path), Old);
        EXPECT_FALSE(fs::exists(Path + ".tmp"));
    }
    // A folder without write permission, for a user it applies to.
    if (::geteuid() != 0) {
        fs::permissions(Dir, fs::perms::owner_read | fs::perms::owner_exec);
        const std::string error = FailedSave(Path);
        fs::permissions(Dir, fs::perms::owner_all);
        EXPECT_NE(error.find("the file is read-only"), std::string::npos) << error;
        EXPECT_EQ(Read(Path), Old);
    }
    EXPECT_TRUE(Doc.IsModified());
}
