#include "base/uErrors.h"
#include "base/uNumberText.h"
#include "base/uTextFile.h"

#include <bit>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

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

TEST(TextFile, FailuresAreReported)
{
    EXPECT_THROW(TTextFileWriter("/nonexistent-dir/x.qstn"), EInOutError);
    EXPECT_THROW(TTextFileReader("/nonexistent-dir/x.qstn"), EInOutError);
    // Only regular files are read: a folder or a pipe is refused at once (no waiting for
    // a writer that never comes).
    const fs::path dir =
        fs::temp_directory_path() / ("quill_text_file_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    EXPECT_THROW(TTextFileReader(dir.string()), EInOutError);
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    EXPECT_THROW(TTextFileReader((dir / "pipe").string()), EInOutError);
    fs::remove_all(dir);
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

// The fast reading of file reals gives what the general number reader gives, bit for bit,
// refusals included.
TEST(TextFile, FileRealsReadAsTheNumberReaderReadsThem)
{
    auto same = [](std::string_view text) {
        float fast = 12345, general = 12345;
        const bool a = TryFileTextToFloat(text, fast);
        const bool b = TryTextToFloat(text, general);
        EXPECT_EQ(a, b) << text;
        if (a && b) {
            EXPECT_EQ(std::bit_cast<uint32_t>(fast), std::bit_cast<uint32_t>(general)) << text;
        }
    };
    for (const char* text : {" 1.000000000E+00",
                             "-2.500000000E-01",
                             "1.000000015E-01",
                             "-0",
                             "-0.0",
                             "0",
                             "+1.5",
                             "+-1",
                             "-",
                             "+",
                             ".5",
                             "1.",
                             "1.e5",
                             "1.E+05",
                             "1e",
                             "1e+",
                             "1e-22",
                             "1e23",
                             "9e22",
                             "3.402823466E+38",
                             "3.402823567E+38",
                             "1.401298464E-45",
                             "1e-50",
                             "1e39",
                             "1e-4000",
                             "12345678901234567",
                             "0.0000000000000001",
                             "1x",
                             "nan",
                             "inf",
                             "1e00022",
                             "1E-0007",
                             "123456789012345",
                             "1234567890123456",
                             "4.000000000E-13",
                             "7.000000000E+31"})
        same(text);
    std::mt19937 random(7);
    const std::string alphabet = "0123456789.-+eE";
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        const int length = 1 + static_cast<int>(random() % 18);
        for (int k = 0; k < length; ++k)
            text += alphabet[random() % alphabet.size()];
        same(text);
        // And what the writer makes of random bit patterns.
        const float value = std::bit_cast<float>(static_cast<uint32_t>(random()));
        same(FormatFileReal(value));
    }
}

// Lines come out the same however they fall across the reader's buffer: long lines,
// CR LF or LF, a last line without its end, empty lines.
TEST(TextFile, LinesAcrossTheReadBufferComeOutWhole)
{
    const fs::path file =
        fs::temp_directory_path() / ("quill_text_lines_" + std::to_string(::getpid()));
    std::vector<std::string> lines;
    std::string text;
    std::mt19937 random(3);
    for (int i = 0; i < 3000; ++i) {
        const size_t length = i == 1500 ? 700000 : random() % 400;  // one longer than the buffer
        std::string line(length, static_cast<char>('a' + i % 26));
        lines.push_back(line);
        text += line + (i % 3 ? "\r\n" : "\n");
    }
    lines.push_back("last");
    text += "last";
    std::ofstream(file, std::ios::binary) << text;
    TTextFileReader reader(file.string());
    std::string_view view;
    std::string copy;
    for (size_t i = 0; i < lines.size(); ++i) {
        ASSERT_FALSE(reader.AtEnd()) << i;
        if (i % 2) {
            ASSERT_TRUE(reader.ReadLineView(view));
            ASSERT_EQ(view, lines[i]) << i;
        } else {
            ASSERT_TRUE(reader.ReadLine(copy));
            ASSERT_EQ(copy, lines[i]) << i;
        }
    }
    EXPECT_TRUE(reader.AtEnd());
    EXPECT_FALSE(reader.ReadLineView(view));
    EXPECT_TRUE(view.empty());
    fs::remove(file);
}
