#pragma once
// Line-oriented text files: the scene file and the sections inside it. Lines end with
// CR LF on writing; readers accept CR LF or LF. Writes are buffered and checked: a
// full disk or a failed close raises EInOutError, never a silent truncation.
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The 16-character real of the scene file: sign or blank, d.ddddddddd, "E", sign and
// two exponent digits (" 1.000000000E+00", "-2.500000000E-01"). Non-finite values and
// -0 are written as 0.
std::string FormatFileReal(float Value);
void AppendFileReal(std::string& Out, float Value);
// Reals joined by one blank each.
std::string FormatFileReals(std::initializer_list<float> Values);

// Accumulates lines; sections write into it without knowing the file.
class TTextLineSink {
public:
    virtual ~TTextLineSink() = default;
    virtual void WriteLine(std::string_view Line) = 0;
};

class TStringLineSink : public TTextLineSink {
public:
    void WriteLine(std::string_view Line) override { Lines.emplace_back(Line); }
    std::vector<std::string> Lines;
};

class TTextFileWriter : public TTextLineSink {
public:
    explicit TTextFileWriter(const std::string& FileName);  // creates or truncates
    ~TTextFileWriter() override;  // closes without raising; call Close to see errors
    TTextFileWriter(const TTextFileWriter&) = delete;
    TTextFileWriter& operator=(const TTextFileWriter&) = delete;

    void WriteLine(std::string_view Line) override;
    // Flushes, syncs to disk and closes; raises EInOutError on any failure.
    void Close();

private:
    void Flush();
    std::string FileName;
    std::FILE* File = nullptr;
    std::string Buffer;
};

// Hands out lines one at a time.
class TTextLineSource {
public:
    virtual ~TTextLineSource() = default;
    // False at the end of the input (Line is then empty).
    virtual bool ReadLine(std::string& Line) = 0;
    virtual bool AtEnd() const = 0;
};

class TStringLineSource : public TTextLineSource {
public:
    explicit TStringLineSource(std::vector<std::string> Lines) : Lines(std::move(Lines)) {}
    // Splits Text at LF, dropping a CR before each LF.
    static TStringLineSource FromText(std::string_view Text);
    bool ReadLine(std::string& Line) override;
    bool AtEnd() const override { return Next >= Lines.size(); }

private:
    std::vector<std::string> Lines;
    size_t Next = 0;
};

// Reads a file through a buffer of bounded size (it grows only for a longer line), so a
// file of any size costs the lines it is parsed into and no copy of itself.
class TTextFileReader : public TTextLineSource {
public:
    // EInOutError when the file cannot be opened or its first block read.
    explicit TTextFileReader(const std::string& FileName);
    ~TTextFileReader() override;
    TTextFileReader(const TTextFileReader&) = delete;
    TTextFileReader& operator=(const TTextFileReader&) = delete;

    // EInOutError when a later block cannot be read. Line keeps its capacity.
    bool ReadLine(std::string& Line) override;
    bool AtEnd() const override;

    static constexpr size_t kBlockSize = 1 << 20;

private:
    // Reads the next block behind what is left of the buffer; False at the end of the file.
    bool Fill() const;

    std::string FileName;
    int Handle = -1;
    // The unread bytes are Buffer[Begin, End). Refilling moves them to the front; the
    // reads happen from AtEnd too, which is why these are mutable.
    mutable std::vector<char> Buffer;
    mutable size_t Begin = 0, End = 0;
    mutable bool EndOfFile = false;
};

// Splits at runs of characters with codes 0..32.
std::vector<std::string_view> SplitBlanks(std::string_view Text);
// The same into Out, without allocating: the number of items stored, at most Out's size
// (items beyond it are not looked for).
size_t SplitBlanksInto(std::string_view Text, std::span<std::string_view> Out);
