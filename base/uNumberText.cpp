#include "base/uNumberText.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {
int InvariantDepth = 0;

// Drops a leading "+": from_chars refuses it, while people and older files write it.
std::string_view SkipPlus(std::string_view t)
{
    if (!t.empty() && t.front() == '+')
        t.remove_prefix(1);
    return t;
}

// Exact powers of ten a double holds.
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Eight ASCII digits at P (little-endian load), or false when any of them is not a digit.
bool EightDigits(const char* P, uint32_t& Value)
{
    if constexpr (std::endian::native != std::endian::little)
        return false;
    uint64_t v;
    std::memcpy(&v, P, sizeof v);
    // Each byte 0x30..0x39: its high nibble is 3, and adding 6 does not carry into it.
    if (((v & 0xF0F0F0F0F0F0F0F0u) | (((v + 0x0606060606060606u) & 0xF0F0F0F0F0F0F0F0u) >> 4)) !=
        0x3333333333333333u)
        return false;
    v -= 0x3030303030303030u;
    v = v * 10 + (v >> 8);  // pairs of digits in every other byte
    v = (((v & 0x000000FF000000FFu) * 0x000F424000000064u) +
         (((v >> 16) & 0x000000FF000000FFu) * 0x0000271000000001u)) >>
        32;
    Value = static_cast<uint32_t>(v);
    return true;
}

// Digits from t[i] on, added to Digits; Count counts them. Eight at a time where the
// text has that many.
[[gnu::always_inline]] inline void ScanDigits(std::string_view t, size_t& i, uint64_t& Digits,
                                              int& Count)
{
    uint32_t eight;
    while (i + 8 <= t.size() && EightDigits(t.data() + i, eight)) {
        Digits = Digits * 100000000u + eight;
        i += 8;
        Count += 8;
    }
    for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i, ++Count)
        Digits = Digits * 10 + uint64_t(t[i] - '0');
}

// The common decimal forms ("-1.234567890E-01", "42", "0.5") with at most 15 significant
// digits and a scale within 10^22, read from t[i] on to the first character that cannot
// continue them (i is left there): the digits are an exact integer and the power of ten
// is exact, so one multiplication or division rounds exactly as from_chars does. False
// for anything else, which from_chars then reads.
[[gnu::always_inline]] inline bool ScanDecimal(std::string_view t, size_t& i, double& value)
{
    const bool negative = i < t.size() && t[i] == '-';
    if (negative)
        ++i;
    uint64_t digits = 0;
    int count = 0, scale = 0;
    const size_t intStart = i;
    ScanDigits(t, i, digits, count);
    if (i == intStart)
        return false;
    if (i < t.size() && t[i] == '.') {
        const size_t fracStart = ++i;
        const int intCount = count;
        ScanDigits(t, i, digits, count);
        if (i == fracStart)
            return false;
        scale = intCount - count;
    }
    if (count > 15)
        return false;
    if (i < t.size() && (t[i] == 'E' || t[i] == 'e')) {
        ++i;
        bool expNegative = false;
        if (i < t.size() && (t[i] == '+' || t[i] == '-'))
            expNegative = t[i++] == '-';
        const size_t expStart = i;
        int exponent = 0;
        for (; i < t.size() && t[i] >= '0' && t[i] <= '9' && exponent < 1000; ++i)
            exponent = exponent * 10 + (t[i] - '0');
        if (i == expStart)
            return false;
        scale += expNegative ? -exponent : exponent;
    }
    if (scale < -22 || scale > 22)
        return false;
    double v = static_cast<double>(digits);
    v = scale < 0 ? v / kExactPowersOfTen[-scale] : v * kExactPowersOfTen[scale];
    value = negative ? -v : v;
    return true;
}

bool FastDecimal(std::string_view t, double& value)
{
    size_t i = 0;
    return ScanDecimal(t, i, value) && i == t.size();
}

bool IsBlank(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}

// Moves Pos over blanks to the next item of Line; false when none is left.
bool SkipToItem(std::string_view Line, size_t& Pos)
{
    while (Pos < Line.size() && IsBlank(Line[Pos]))
        ++Pos;
    return Pos < Line.size();
}

// The item starting at Pos, to the next blank; Pos moves past it.
std::string_view TakeItem(std::string_view Line, size_t& Pos)
{
    const size_t start = Pos;
    while (Pos < Line.size() && !IsBlank(Line[Pos]))
        ++Pos;
    return Line.substr(start, Pos - start);
}

template <typename T>
bool ParseWhole(std::string_view text, T& value)
{
    text = TrimBlanks(text);
    if constexpr (std::is_same_v<T, double>) {
        if (FastDecimal(text, value))
            return true;
    }
    const bool hadPlus = !text.empty() && text.front() == '+';
    text = SkipPlus(text);
    if (text.empty() || (hadPlus && text.front() == '-'))
        return false;
    T v{};
    const char* first = text.data();
    const char* last = first + text.size();
    std::from_chars_result r;
    if constexpr (std::is_floating_point_v<T>)
        r = std::from_chars(first, last, v, std::chars_format::general);
    else
        r = std::from_chars(first, last, v);
    if (r.ec != std::errc() || r.ptr != last)
        return false;
    if constexpr (std::is_floating_point_v<T>) {
        if (!std::isfinite(v))
            return false;
    }
    value = v;
    return true;
}
}  // namespace

std::string_view TrimBlanks(std::string_view Text)
{
    while (!Text.empty() && static_cast<unsigned char>(Text.front()) <= 32)
        Text.remove_prefix(1);
    while (!Text.empty() && static_cast<unsigned char>(Text.back()) <= 32)
        Text.remove_suffix(1);
    return Text;
}

float WrittenFloat(float Value)
{
    return std::isfinite(Value) && Value != 0 ? Value : 0.0f;
}

std::string FloatToText(float Value)
{
    Value = WrittenFloat(Value);
    if (Value == 0)
        return "0";
    // d.dddddddddE±xx: ten significant digits of the exact single value.
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, static_cast<double>(Value),
                           std::chars_format::scientific, 9);
    std::string s(buf, r.ptr);
    const bool negative = s.front() == '-';
    if (negative)
        s.erase(0, 1);
    const auto ePos = s.find('e');
    const int exponent = std::atoi(s.c_str() + ePos + 1);
    std::string digits = s.substr(0, 1) + s.substr(2, ePos - 2);  // 10 digits
    std::string out;
    if (exponent >= -5 && exponent <= 9) {
        std::string intPart, frac;
        if (exponent >= 0) {
            intPart = digits.substr(0, exponent + 1);
            frac = digits.substr(exponent + 1);
        } else {
            intPart = "0";
            frac = std::string(-exponent - 1, '0') + digits;
        }
        while (!frac.empty() && frac.back() == '0')
            frac.pop_back();
        out = frac.empty() ? intPart : intPart + "." + frac;
    } else {
        std::string mant = digits.substr(1);
        while (!mant.empty() && mant.back() == '0')
            mant.pop_back();
        out = digits.substr(0, 1);
        if (!mant.empty())
            out += "." + mant;
        out += "E" + std::to_string(exponent);
    }
    return negative ? "-" + out : out;
}

float TextToFloatDef(std::string_view Text, float Default)
{
    float v;
    return TryTextToFloat(Text, v) ? v : Default;
}

bool TryTextToFloat(std::string_view Text, float& Value)
{
    double d;
    if (!TryTextToDouble(Text, d))
        return false;
    if (std::fabs(d) > std::numeric_limits<float>::max())
        return false;
    Value = static_cast<float>(d);
    return true;
}

bool NextLineFloat(std::string_view Line, size_t& Pos, float& Value)
{
    if (!SkipToItem(Line, Pos))
        return false;
    // The file's own reals end at a blank or the line's end; anything else is read whole.
    size_t end = Pos;
    double d;
    if (ScanDecimal(Line, end, d) && (end == Line.size() || IsBlank(Line[end]))) {
        Pos = end;
        // At most 15 digits within 10^22: always inside single range.
        Value = static_cast<float>(d);
        return true;
    }
    return TryTextToFloat(TakeItem(Line, Pos), Value);
}

bool NextLineInt(std::string_view Line, size_t& Pos, int32_t& Value)
{
    if (!SkipToItem(Line, Pos))
        return false;
    // Up to nine digits cannot overflow; longer or other items are read whole.
    size_t i = Pos;
    const bool negative = Line[i] == '-';
    if (negative)
        ++i;
    const size_t first = i;
    int32_t v = 0;
    for (; i < Line.size() && i - first < 9 && Line[i] >= '0' && Line[i] <= '9'; ++i)
        v = v * 10 + (Line[i] - '0');
    if (i > first && (i == Line.size() || IsBlank(Line[i]))) {
        Pos = i;
        Value = negative ? -v : v;
        return true;
    }
    return TryTextToInt(TakeItem(Line, Pos), Value);
}

bool TryTextToDouble(std::string_view Text, double& Value)
{
    return ParseWhole(Text, Value);
}
bool TryTextToInt(std::string_view Text, int32_t& Value)
{
    return ParseWhole(Text, Value);
}
bool TryTextToInt64(std::string_view Text, int64_t& Value)
{
    return ParseWhole(Text, Value);
}
bool TryTextToUInt32(std::string_view Text, uint32_t& Value)
{
    Text = TrimBlanks(Text);
    if (!Text.empty() && Text.front() == '-')
        return false;
    return ParseWhole(Text, Value);
}

bool TryTextToUInt64(std::string_view Text, uint64_t& Value)
{
    Text = TrimBlanks(Text);
    if (!Text.empty() && Text.front() == '-')
        return false;
    return ParseWhole(Text, Value);
}

std::string IntToText(int64_t Value)
{
    return std::to_string(Value);
}

std::string UIntToText(uint64_t Value)
{
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, Value);
    return std::string(buf, r.ptr);
}

void BeginInvariantDecimal()
{
    ++InvariantDepth;
}
void EndInvariantDecimal()
{
    if (InvariantDepth > 0)
        --InvariantDepth;
}
int InvariantDecimalDepth()
{
    return InvariantDepth;
}
