#include "base/uTextFile.h"

#include "base/uErrors.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <unistd.h>

namespace {
std::string SystemMessage(int err)
{
    return std::strerror(err);
}
}  // namespace

void AppendFileReal(std::string& Out, float Value)
{
    if (!std::isfinite(Value) || Value == 0)
        Value = 0;
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, static_cast<double>(Value),
                           std::chars_format::scientific, 9);
    // to_chars writes "1.000000000e+00"; float exponents always fit two digits.
    std::string_view s(buf, static_cast<size_t>(r.ptr - buf));
    if (s.front() != '-')
        Out += ' ';
    for (char c : s)
        Out += c == 'e' ? 'E' : c;
}

std::string FormatFileReal(float Value)
{
    std::string s;
    AppendFileReal(s, Value);
    return s;
}

std::string FormatFileReals(std::initializer_list<float> Values)
{
    std::string s;
    bool first = true;
    for (float v : Values) {
        if (!first)
            s += ' ';
        AppendFileReal(s, v);
        first = false;
    }
    return s;
}

TTextFileWriter::TTextFileWriter(const std::string& FileName) : FileName(FileName)
{
    File = std::fopen(FileName.c_str(), "wb");
    if (!File)
        throw EInOutError("Cannot create file \"" + FileName + "\": " + SystemMessage(errno));
    Buffer.reserve(1 << 20);
}

TTextFileWriter::~TTextFileWriter()
{
    if (File)
        std::fclose(File);
}

void TTextFileWriter::WriteLine(std::string_view Line)
{
    if (!File)
        throw EInOutError("File \"" + FileName + "\" is closed");
    Buffer.append(Line);
    Buffer.append("\r\n");
    if (Buffer.size() >= (1 << 20))
        Flush();
}

void TTextFileWriter::Flush()
{
    if (Buffer.empty())
        return;
    if (std::fwrite(Buffer.data(), 1, Buffer.size(), File) != Buffer.size())
        throw EInOutError("Cannot write file \"" + FileName + "\": " + SystemMessage(errno));
    Buffer.clear();
}

void TTextFileWriter::Close()
{
    if (!File)
        return;
    std::FILE* f = File;
    try {
        Flush();
    } catch (...) {
        File = nullptr;
        std::fclose(f);
        throw;
    }
    File = nullptr;
    const bool flushed = std::fflush(f) == 0 && ::fsync(fileno(f)) == 0;
    const int err = errno;
    if (std::fclose(f) != 0 || !flushed)
        throw EInOutError("Cannot write file \"" + FileName +
                          "\": " + SystemMessage(err ? err : errno));
}

TStringLineSource TStringLineSource::FromText(std::string_view Text)
{
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < Text.size()) {
        size_t end = Text.find('\n', pos);
        if (end == std::string_view::npos)
            end = Text.size();
        std::string_view line = Text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.emplace_back(line);
        pos = end + 1;
    }
    return TStringLineSource(std::move(lines));
}

bool TStringLineSource::ReadLine(std::string& Line)
{
    if (Next >= Lines.size()) {
        Line.clear();
        return false;
    }
    Line = Lines[Next++];
    return true;
}

TTextFileReader::TTextFileReader(const std::string& FileName) : FileName(FileName)
{
    Handle = ::open(FileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (Handle < 0)
        throw EInOutError("Cannot open file \"" + FileName + "\": " + SystemMessage(errno));
    try {
        Buffer.resize(kBlockSize);
        Fill();
    } catch (...) {
        ::close(Handle);
        throw;
    }
}

TTextFileReader::~TTextFileReader()
{
    ::close(Handle);
}

bool TTextFileReader::Fill() const
{
    if (EndOfFile)
        return false;
    if (Begin > 0) {
        std::memmove(Buffer.data(), Buffer.data() + Begin, End - Begin);
        End -= Begin;
        Begin = 0;
    }
    if (Buffer.size() - End < kBlockSize / 2)
        Buffer.resize(std::max(Buffer.size() * 2, End + kBlockSize));
    for (;;) {
        const ssize_t got = ::read(Handle, Buffer.data() + End, Buffer.size() - End);
        if (got > 0) {
            End += static_cast<size_t>(got);
            return true;
        }
        if (got == 0) {
            EndOfFile = true;
            return false;
        }
        if (errno != EINTR)
            throw EInOutError("Cannot read file \"" + FileName + "\": " + SystemMessage(errno));
    }
}

bool TTextFileReader::AtEnd() const
{
    return Begin >= End && !Fill();
}

bool TTextFileReader::ReadLine(std::string& Line)
{
    size_t searched = Begin;  // bytes before this hold no line feed
    for (;;) {
        const void* lf = std::memchr(Buffer.data() + searched, '\n', End - searched);
        if (lf || (EndOfFile && Begin < End)) {
            const size_t end =
                lf ? static_cast<size_t>(static_cast<const char*>(lf) - Buffer.data()) : End;
            size_t len = end - Begin;
            if (len > 0 && Buffer[Begin + len - 1] == '\r')
                --len;
            Line.assign(Buffer.data() + Begin, len);
            Begin = lf ? end + 1 : End;
            return true;
        }
        if (EndOfFile) {
            Line.clear();
            return false;
        }
        const size_t kept = End - Begin;
        Fill();
        searched = Begin + kept;
    }
}

namespace {

// Calls Item(view) for each blank-separated item until it returns False.
template <class TItem>
void ForEachBlankItem(std::string_view Text, TItem&& Item)
{
    size_t i = 0;
    while (i < Text.size()) {
        while (i < Text.size() && static_cast<unsigned char>(Text[i]) <= 32)
            ++i;
        const size_t start = i;
        while (i < Text.size() && static_cast<unsigned char>(Text[i]) > 32)
            ++i;
        if (i > start && !Item(Text.substr(start, i - start)))
            return;
    }
}

}  // namespace

std::vector<std::string_view> SplitBlanks(std::string_view Text)
{
    std::vector<std::string_view> out;
    ForEachBlankItem(Text, [&](std::string_view Item) {
        out.push_back(Item);
        return true;
    });
    return out;
}

size_t SplitBlanksInto(std::string_view Text, std::span<std::string_view> Out)
{
    size_t n = 0;
    ForEachBlankItem(Text, [&](std::string_view Item) {
        if (n == Out.size())
            return false;
        Out[n++] = Item;
        return true;
    });
    return n;
}
