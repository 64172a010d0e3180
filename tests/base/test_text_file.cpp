#include "base/uErrors.h"
#include "base/uTextFile.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace fs = std::filesystem;

TEST(TextFile, SixteenCharacterReals)
{
    const struct {
        float value;
        const char* text;
    } cases[] = {
        {1.0f, " 1.000000000E+00"},     {-0.25f, "-2.500000000E-01"},  {0.1f, " 1.000000015E-01"},
        {0.0f, " 0.000000000E+00"},     {-0.0f, " 0.000000000E+00"},   {NAN, " 0.000000000E+00"},
        {INFINITY, " 0.000000000E+00"}, {3.0e38f, " 3.000000005E+38"}, {1e-38f, " 9.999999350E-39"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatFileReal(c.value), c.text);
        EXPECT_EQ(FormatFileReal(c.value).size(), 16u);
    }
    EXPECT_EQ(FormatFileReals({1, 2, -3}), " 1.000000000E+00  2.000000000E+00 -3.000000000E+00");
}

TEST(TextFile, WriterEndsLinesWithCrLfAndReaderAcceptsBoth)
{
    const fs::path path = fs::temp_directory_path() / "quill_text_file_test.txt";
    {
        TTextFileWriter w(path.string());
        w.WriteLine("#Quillstone");
        w.WriteLine("");
        w.WriteLine("last");
        w.Close();
    }
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    EXPECT_EQ(ss.str(), "#Quillstone\r\n\r\nlast\r\n");

    TTextFileReader r(path.string());
    std::string line;
    ASSERT_TRUE(r.ReadLine(line));
    EXPECT_EQ(line, "#Quillstone");
    ASSERT_TRUE(r.ReadLine(line));
    EXPECT_EQ(line, "");
    ASSERT_TRUE(r.ReadLine(line));
    EXPECT_EQ(line, "last");
    EXPECT_TRUE(r.AtEnd());
    EXPECT_FALSE(r.ReadLine(line));
    fs::remove(path);

    TStringLineSource s = TStringLineSource::FromText("a\nb\r\nc");
    for (const char* want : {"a", "b", "c"}) {
        ASSERT_TRUE(s.ReadLine(line));
        EXPECT_EQ(line, want);
    }
    EXPECT_TRUE(s.AtEnd());
}

// The reader works through a bounded buffer: lines that straddle a block, a CR LF split
// between two blocks, a line longer than a block and a last line without a line end all
// come out as TStringLineSource splits the same text.
TEST(TextFile, ReaderGivesTheSameLinesAcrossBlockBoundaries)
{
    const size_t block = TTextFileReader::kBlockSize;
    const std::string text = std::string(block - 1, 'a') + "\r\n" + std::string(10, 'b') + "\n\n" +
                             std::string(3 * block + 7, 'c') + "\r\n" +
                             std::string(block - 20, 'd') + "\nlast";
    const fs::path path = fs::temp_directory_path() / "quill_text_file_blocks.txt";
    {
        std::ofstream out(path, std::ios::binary);
        out << text;
    }
    TTextFileReader file(path.string());
    TStringLineSource expected = TStringLineSource::FromText(text);
    std::string got, want;
    int lines = 0;
    while (expected.ReadLine(want)) {
        ASSERT_FALSE(file.AtEnd());
        ASSERT_TRUE(file.ReadLine(got));
        EXPECT_EQ(got.size(), want.size()) << "line " << lines;
        EXPECT_TRUE(got == want) << "line " << lines;
        ++lines;
    }
    EXPECT_EQ(lines, 6);
    EXPECT_TRUE(file.AtEnd());
    EXPECT_FALSE(file.ReadLine(got));
    EXPECT_TRUE(got.empty());
    fs::remove(path);

    // An empty file has no lines; a folder cannot be read.
    {
        std::ofstream out(path, std::ios::binary);
    }
    EXPECT_TRUE(TTextFileReader(path.string()).AtEnd());
    fs::remove(path);
    EXPECT_THROW(TTextFileReader(fs::temp_directory_path().string()), EInOutError);
}

TEST(TextFile, FailuresAreReported)
{
    EXPECT_THROW(TTextFileWriter("/nonexistent-dir/x.qstn"), EInOutError);
    EXPECT_THROW(TTextFileReader("/nonexistent-dir/x.qstn"), EInOutError);
    if (fs::exists("/dev/full")) {
        TTextFileWriter w("/dev/full");
        w.WriteLine("data that cannot be stored");
        EXPECT_THROW(w.Close(), EInOutError);
    }
}

TEST(TextFile, SplitBlanks)
{
    auto t = SplitBlanks("  a\tbb  c\r");
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[0], "a");
    EXPECT_EQ(t[1], "bb");
    EXPECT_EQ(t[2], "c");
    EXPECT_TRUE(SplitBlanks("   ").empty());
}
