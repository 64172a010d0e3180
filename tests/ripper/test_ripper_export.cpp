#include "base/uTextFile.h"
#include "ripper/uTextureRipperExport.h"
#include "tests/ripper/ripper_test_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace RipperTest;
namespace fs = std::filesystem;

TEST(RipperExport, SanitizesTextureNames)
{
    const std::pair<const char*, const char*> cases[] = {
        {"  My Brick:Wall.PNG  ", "My_Brick_Wall"},
        {"brick", "brick"},
        {"brick.png", "brick"},
        {"brick .png", "brick"},  // trimmed again after the extension
        {"a.png.png", "a.png"},   // only one extension goes
        {" :?* ", ""},            // nothing usable left
        {"__a__b__", "a_b"},      // runs collapse, ends stripped
        {"a\tb\x01"
         "c",
         "a_b_c"},  // control characters
        {"x/y\\z|w<v>u\"t", "x_y_z_w_v_u_t"},
        {"caf\xc3\xa9", "caf\xc3\xa9"},  // bytes above 127 are kept
        {".png", ""},
    };
    for (const auto& [text, expected] : cases) {
        std::string name = "stale";
        SanitizeTextureName(text, name);
        EXPECT_EQ(name, expected) << text;
    }
}

TEST(RipperExport, FolderAndTargetText)
{
    std::string folder = "stale";
    ProjectTexturesFolder("   ", folder);
    EXPECT_EQ(folder, "");
    ProjectTexturesFolder("/home/u/proj/scene.qstn", folder);
    EXPECT_EQ(folder, "/home/u/proj/textures");
    EXPECT_EQ(TextureTargetText("", "brick"),
              "No saved project. Save the project before importing.");
    EXPECT_EQ(TextureTargetText("/p/s.qstn", " :?* "), "textures/<texture-name>.png");
    EXPECT_EQ(TextureTargetText("/p/s.qstn", "My Brick"), "textures/My_Brick.png");
}

TEST(RipperExport, WritesBesideTheProjectWithACounterAndNoLeftovers)
{
    TScratchDir dir;
    const std::string project = dir.File("scene.qstn");
    const TRgbaImage image = PatternImage(8, 8, true);

    const TTextureFileResult first = WriteProjectTexture(image, project, "brick.png");
    ASSERT_TRUE(first.Success) << first.Message;
    EXPECT_EQ(first.FilePath, dir.File("textures/brick.png"));
    EXPECT_EQ(first.RelativePath, "textures/brick.png");

    // The existing file is never replaced: the next ones get a three-digit counter.
    const TBytes firstBytes = ReadBytes(first.FilePath);
    const TTextureFileResult second = WriteProjectTexture(image, project, "brick");
    ASSERT_TRUE(second.Success) << second.Message;
    EXPECT_EQ(second.RelativePath, "textures/brick_001.png");
    const TTextureFileResult third = WriteProjectTexture(image, project, "brick");
    EXPECT_EQ(third.RelativePath, "textures/brick_002.png");
    EXPECT_EQ(ReadBytes(first.FilePath), firstBytes);

    // What was written reads back as the image, and no temporary file stays.
    std::string message;
    const auto back = LoadRgbaImageFromFile(second.FilePath, message);
    ASSERT_NE(back, nullptr) << message;
    ExpectSamePixels(*back, image);
    for (const auto& entry : fs::directory_iterator(dir.File("textures")))
        EXPECT_EQ(entry.path().extension(), ".png") << entry.path();

    // A stale temporary file of a crashed save is replaced, not imported.
    WriteBytes(dir.File("textures/tile.png.tmp"), {1, 2, 3});
    const TTextureFileResult tile = WriteProjectTexture(image, project, "tile");
    ASSERT_TRUE(tile.Success) << tile.Message;
    EXPECT_FALSE(fs::exists(dir.File("textures/tile.png.tmp")));
}

TEST(RipperExport, RefusesWithTheReason)
{
    TScratchDir dir;
    const TRgbaImage image = PatternImage(4, 4, false);
    EXPECT_EQ(WriteProjectTexture(image, "", "brick").Message,
              "Save the project before importing a texture.");
    EXPECT_EQ(WriteProjectTexture(image, dir.File("s.qstn"), "?").Message,
              "Enter a valid texture name.");
    // A plain file where the folder should be.
    WriteBytes(dir.File("textures"), {0});
    const TTextureFileResult r = WriteProjectTexture(image, dir.File("s.qstn"), "brick");
    EXPECT_FALSE(r.Success);
    EXPECT_EQ(r.Message, "The project texture directory could not be created.");

    if (::geteuid() != 0) {
        // A folder that cannot be written: the PNG's own message follows the prefix.
        TScratchDir locked;
        fs::create_directories(locked.File("textures"));
        ::chmod(locked.File("textures").c_str(), 0555);
        const TTextureFileResult w = WriteProjectTexture(image, locked.File("s.qstn"), "brick");
        EXPECT_FALSE(w.Success);
        EXPECT_EQ(w.Message.rfind("The PNG could not be saved: ", 0), 0u) << w.Message;
        EXPECT_TRUE(fs::is_empty(locked.File("textures")));
        ::chmod(locked.File("textures").c_str(), 0755);
    }
}

// The PNG goes to the temporary file through the descriptor that created it: a link put at
// its name before the write is neither written through nor moved into the folder.
TEST(RipperExport, ALinkSwappedInForTheTemporaryFileIsNotWrittenThrough)
{
    TScratchDir dir;
    const std::string victim = dir.File("victim.txt");
    std::ofstream(victim, std::ios::binary) << "not yours";
    std::string swapped;
    SetFileFaultHook([&](TFileCall Call, const std::string& Path) {
        if (Call == TFileCall::WriteNew && swapped.empty()) {
            swapped = Path;
            fs::remove(Path);
            fs::create_symlink(victim, Path);
        }
        return 0;
    });
    const TTextureFileResult r =
        WriteProjectTexture(PatternImage(8, 8, true), dir.File("scene.qstn"), "brick");
    SetFileFaultHook(nullptr);
    EXPECT_EQ(swapped, dir.File("textures/brick.png.tmp"));
    EXPECT_FALSE(r.Success);
    EXPECT_EQ(r.Message,
              "The generated PNG could not be moved into the project texture directory.");
    std::ifstream in(victim, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "not yours");
    EXPECT_TRUE(fs::is_empty(dir.File("textures")));
}
