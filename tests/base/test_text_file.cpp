#include "base/uErrors.h"
#include "base/uTextFile.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

// The writer's own digit generation against the library's scientific formatting of the
// float's double, over every exponent, values next to rounding ties and decade edges, and a
// random sample of bit patterns.
TEST(TextFile, RealsMatchTheLibrarysScientificFormatting)
{
    auto library = [](float v) {
        char buf[40];
        const auto r = std::to_chars(buf, buf + sizeof buf, static_cast<double>(v),
                                     std::chars_format::scientific, 9);
        std::string s(buf, r.ptr);
        for (char& c : s)
            c = c == 'e' ? 'E' : c;
        return s.front() == '-' ? s : " " + s;
    };
    std::vector<float> values;
    for (uint32_t exponent = 1; exponent < 255; ++exponent)
        for (uint32_t mantissa : {0u, 1u, 0x400000u, 0x7FFFFFu, 0x123456u})
            for (uint32_t sign : {0u, 1u}) {
                const uint32_t bits = sign << 31 | exponent << 23 | mantissa;
                float v;
                std::memcpy(&v, &bits, sizeof v);
                values.push_back(v);
            }
    for (double decade = 1e-38; decade < 3e38; decade *= 10)
        for (float v = std::nextafter(static_cast<float>(decade), 0.0f), i = 0; i < 3;
             ++i, v = std::nextafter(v, INFINITY))
            values.push_back(v);
    // Exact halves at the tenth digit: 2^-k has a five at its end.
    for (int k = 1; k < 60; ++k)
        values.push_back(std::ldexp(1.0f, -k) * 3);
    values.insert(values.end(), {1e-45f, 1.17549435e-38f, 9999999999.0f, 0.99999999995f,
                                 123456789.0f, 16777216.0f, 1e10f, 3.4028235e38f});
    std::mt19937 random(7);
    for (int i = 0; i < 200000; ++i) {
        const uint32_t bits = static_cast<uint32_t>(random());
        float v;
        std::memcpy(&v, &bits, sizeof v);
        if (std::isfinite(v))
            values.push_back(v);
    }
    for (float v : values) {
        const std::string text = FormatFileReal(v);
        ASSERT_EQ(text, v == 0 ? std::string(" 0.000000000E+00") : library(v))
            << std::hexfloat << v;
    }
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
                             std::string(kMaxTextLineBytes, 'c') + "\r\n" +
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

// A line longer than the reader's bound is refused with its number as soon as the bound
// is passed; one of exactly the bound is read, with or without its line end.
TEST(TextFile, ALineLongerThanTheBoundIsRefusedWithItsNumber)
{
    const fs::path path = fs::temp_directory_path() / "quill_text_file_bound.txt";
    const struct {
        std::string text;
        int lines;  // read before the refusal, or all of them when it is -1
    } cases[] = {
        {"ok\r\n" + std::string(100, 'x') + "\r\n" + std::string(100, 'y'), -1},
        {"ok\r\n" + std::string(101, 'x') + "\r\nmore\r\n", 1},
        {"ok\n" + std::string(101, 'x') + "\n", 1},
        {"ok\r\nok\r\n" + std::string(101, 'x'), 2},
        {std::string(5000, 'z'), 0},
    };
    for (const auto& c : cases) {
        std::ofstream(path, std::ios::binary) << c.text;
        TTextFileReader file(path.string(), 100);
        std::string line;
        int read = 0;
        try {
            while (file.ReadLine(line))
                ++read;
            EXPECT_EQ(c.lines, -1) << "no refusal";
            EXPECT_EQ(read, 3);
        } catch (const EInOutError& e) {
            EXPECT_EQ(read, c.lines);
            EXPECT_NE(std::string(e.what()).find("line " + std::to_string(c.lines + 1) +
                                                 " is longer than 100 characters"),
                      std::string::npos)
                << e.what();
        }
    }
    fs::remove(path);
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

// A file written by another writer replaces its target through a temporary file of its
// own: other files beside it are never replaced or deleted, a failed write leaves the
// old file and no temporary file, links are written through.
TEST(TextFile, SaveFileSafelyTouchesNoOtherFile)
{
    const fs::path dir =
        fs::temp_directory_path() / ("quill_save_safely_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const auto write = [](const fs::path& p, const std::string& text) {
        std::ofstream(p, std::ios::binary) << text;
    };
    const auto read = [](const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const fs::path target = dir / "shot.png";
    const std::vector<std::string> others = {"shot.png.part", "shot.png.tmp", "shot.png.bak"};
    for (const std::string& o : others)
        write(dir / o, "user's " + o);

    std::vector<std::string> temporaries;
    const auto writer = [&](const std::string& text) {
        return [&, text](int temporary) {
            struct stat st {};
            ASSERT_EQ(::fstat(temporary, &st), 0);
            EXPECT_TRUE(S_ISREG(st.st_mode));
            EXPECT_EQ(st.st_size, 0);
            for (const auto& e : fs::directory_iterator(dir))
                if (e.path().extension() == ".tmp" && e.path().filename() != "shot.png.tmp")
                    temporaries.push_back(e.path().string());
            ASSERT_EQ(::write(temporary, text.data(), text.size()),
                      static_cast<ssize_t>(text.size()));
        };
    };
    SaveFileSafely(target.string(), writer("first"));
    SaveFileSafely(target.string(), writer("second"));
    EXPECT_EQ(read(target), "second");
    EXPECT_EQ(temporaries.size(), 2u);
    for (const std::string& o : others)
        EXPECT_EQ(read(dir / o), "user's " + o);

    // A writer that fails: the old content stays, its temporary file goes.
    EXPECT_THROW(SaveFileSafely(target.string(), [](int) { throw EGeneralError("disk full"); }),
                 EGeneralError);
    EXPECT_EQ(read(target), "second");
    size_t files = 0;
    for (const auto& e : fs::directory_iterator(dir))
        files += e.is_regular_file();
    EXPECT_EQ(files, others.size() + 1);

    // Through a link to the file, which stays a link; a folder at the name is refused.
    fs::create_symlink("shot.png", dir / "link.png");
    SaveFileSafely((dir / "link.png").string(), writer("third"));
    EXPECT_TRUE(fs::is_symlink(dir / "link.png"));
    EXPECT_EQ(read(target), "third");
    fs::create_directory(dir / "folder.png");
    EXPECT_THROW(SaveFileSafely((dir / "folder.png").string(), writer("x")), EInOutError);
    fs::remove_all(dir);
}

namespace {

// Puts a link to Victim in place of the first new file a save creates, once it exists and
// before anything is written to it, as another program racing the save could.
class TLinkSwap {
public:
    explicit TLinkSwap(const fs::path& Victim, TFileCall At = TFileCall::WriteNew)
    {
        SetFileFaultHook([this, Victim, At](TFileCall Call, const std::string& Path) {
            if (Call == At && Swapped.empty()) {
                Swapped = Path;
                fs::remove(Path);
                fs::create_symlink(Victim, Path);
            }
            return 0;
        });
    }
    ~TLinkSwap() { SetFileFaultHook(nullptr); }
    std::string Swapped;
};

std::string ReadAll(const fs::path& Path)
{
    std::ifstream in(Path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

// The temporary file of a save is written through the descriptor that created it: a link
// swapped in at its name before the write is not followed, and not moved into place.
TEST(TextFile, SavesWriteThroughTheDescriptorNotTheTemporaryName)
{
    const fs::path dir =
        fs::temp_directory_path() / ("quill_save_swap_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path victim = dir / "victim.txt";
    const fs::path target = dir / "shot.png";
    for (const bool text : {false, true}) {
        SCOPED_TRACE(text ? "text save" : "save through a writer");
        std::ofstream(victim, std::ios::binary) << "not yours";
        std::ofstream(target, std::ios::binary) << "old";
        std::string error;
        {
            // The text save writes its own lines; its first write is the seam.
            TLinkSwap swap(victim, text ? TFileCall::Write : TFileCall::WriteNew);
            try {
                if (text)
                    SaveTextFileSafely(target.string(), {},
                                       [](TTextLineSink& Sink) { Sink.WriteLine("new"); });
                else
                    SaveFileSafely(target.string(),
                                   [](int Fd) { ASSERT_EQ(::write(Fd, "new", 3), 3); });
            } catch (const std::exception& e) {
                error = e.what();
            }
            EXPECT_FALSE(swap.Swapped.empty());
        }
        EXPECT_EQ(ReadAll(victim), "not yours");
        EXPECT_FALSE(fs::is_symlink(target));
        EXPECT_EQ(ReadAll(target), "old");
        EXPECT_NE(error.find("was replaced by another file"), std::string::npos) << error;
        for (const auto& e : fs::directory_iterator(dir))
            EXPECT_FALSE(fs::is_symlink(e.symlink_status())) << e.path();
    }
    fs::remove_all(dir);
}

// A temporary name someone else takes first is another's file: the save draws other names,
// and when every one is taken it gives up without deleting any of them.
TEST(TextFile, TemporaryNamesTakenByOthersAreLeftAlone)
{
    const fs::path dir =
        fs::temp_directory_path() / ("quill_save_taken_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::vector<std::string> taken;
    SetFileFaultHook([&](TFileCall Call, const std::string& Path) {
        if (Call == TFileCall::Create) {
            taken.push_back(Path);
            std::ofstream(Path, std::ios::binary) << "theirs";
        }
        return 0;
    });
    EXPECT_THROW(SaveFileSafely((dir / "shot.png").string(), [](int) {}), EInOutError);
    EXPECT_THROW(TNewFile((dir / "named.tmp").string(), 0666), EInOutError);
    SetFileFaultHook(nullptr);
    ASSERT_GT(taken.size(), 1u);
    for (const std::string& t : taken)
        EXPECT_EQ(ReadAll(t), "theirs") << t;
    EXPECT_FALSE(fs::exists(dir / "shot.png"));
    fs::remove_all(dir);
}
