#include "base/uNumberText.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
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

// The common decimal forms ("-1.234567890E-01", "42", "0.5") with at most 15 significant
// digits and a scale within 10^22: the digits are an exact integer and the power of ten
// is exact, so one multiplication or division rounds exactly as from_chars does. False
// for anything else, which from_chars then reads.
bool FastDecimal(std::string_view t, double& value)
{
    size_t i = 0;
    const bool negative = i < t.size() && t[i] == '-';
    if (negative)
        ++i;
    uint64_t digits = 0;
    int count = 0, scale = 0;
    const size_t intStart = i;
    for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i, ++count)
        digits = digits * 10 + uint64_t(t[i] - '0');
    if (i == intStart)
        return false;
    if (i < t.size() && t[i] == '.') {
        const size_t fracStart = ++i;
        for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i, ++count, --scale)
            digits = digits * 10 + uint64_t(t[i] - '0');
        if (i == fracStart)
            return false;
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
    if (i != t.size() || scale < -22 || scale > 22)
        return false;
    double v = static_cast<double>(digits);
    v = scale < 0 ? v / kExactPowersOfTen[-scale] : v * kExactPowersOfTen[scale];
    value = negative ? -v : v;
    return true;
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

std::string FloatToText(float Value)
{
    if (!std::isfinite(Value))
        return "0";
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
