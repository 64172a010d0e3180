#include "base/uTextFile.h"

#include "base/uErrors.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>
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

TTextFileReader::TTextFileReader(const std::string& FileName)
{
    std::ifstream in(FileName, std::ios::binary);
    if (!in)
        throw EInOutError("Cannot open file \"" + FileName + "\": " + SystemMessage(errno));
    std::ostringstream ss;
    ss << in.rdbuf();
    if (in.bad())
        throw EInOutError("Cannot read file \"" + FileName + "\"");
    Data = std::move(ss).str();
}

bool TTextFileReader::ReadLine(std::string& Line)
{
    if (Pos >= Data.size()) {
        Line.clear();
        return false;
    }
    size_t end = Data.find('\n', Pos);
    if (end == std::string::npos)
        end = Data.size();
    size_t len = end - Pos;
    if (len > 0 && Data[Pos + len - 1] == '\r')
        --len;
    Line.assign(Data, Pos, len);
    Pos = end + 1;
    return true;
}

std::vector<std::string_view> SplitBlanks(std::string_view Text)
{
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < Text.size()) {
        while (i < Text.size() && static_cast<unsigned char>(Text[i]) <= 32)
            ++i;
        size_t start = i;
        while (i < Text.size() && static_cast<unsigned char>(Text[i]) > 32)
            ++i;
        if (i > start)
            out.push_back(Text.substr(start, i - start));
    }
    return out;
}
