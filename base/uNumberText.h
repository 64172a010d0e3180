#pragma once
// Number text of every file and parameter line: "." as decimal separator whatever the
// user's locale. Conversions use std::to_chars / std::from_chars, which never consult
// the C locale, so they are safe under Qt (which sets the locale from the environment).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The value a file holds for Value: a non-finite value is written as 0, so no file ever
// holds "nan" or "inf", and -0 as 0. Every writer of a number goes through this, and so
// does the save's check of what the file will hold.
float WrittenFloat(float Value);

// Shortest general text of a single: 10 significant digits, fixed notation for decimal
// exponents -5..9, exponent notation ("1E10", "9.999999975E-7") otherwise. A non-finite
// value is written as "0", so no file ever holds "nan" or "inf".
std::string FloatToText(float Value);

// The number Text holds (blanks around it allowed), or Default when Text is not exactly
// one finite number in single range.
float TextToFloatDef(std::string_view Text, float Default);

// Strict readers for file tokens: false on anything but one finite number / integer.
bool TryTextToFloat(std::string_view Text, float& Value);
bool TryTextToDouble(std::string_view Text, double& Value);
bool TryTextToInt(std::string_view Text, int32_t& Value);
bool TryTextToInt64(std::string_view Text, int64_t& Value);
bool TryTextToUInt32(std::string_view Text, uint32_t& Value);
bool TryTextToUInt64(std::string_view Text, uint64_t& Value);

// The next item of a line (the run of characters above code 32 after any at Pos), read
// as TryTextToFloat / TryTextToInt read it; Pos moves past it. False when the line has no
// item left or the item is not such a number. Mesh lines are read this way, in one pass.
bool NextLineFloat(std::string_view Line, size_t& Pos, float& Value);
bool NextLineInt(std::string_view Line, size_t& Pos, int32_t& Value);

std::string IntToText(int64_t Value);
std::string UIntToText(uint64_t Value);

// Bracket a file read or write. The conversions above are locale-independent already;
// the pair is kept so that readers and writers state where invariant text is in force,
// and it nests.
void BeginInvariantDecimal();
void EndInvariantDecimal();
int InvariantDecimalDepth();

// Keeps the invariant number text in force for one read or write, also on an error.
class TInvariantDecimalScope {
public:
    TInvariantDecimalScope() { BeginInvariantDecimal(); }
    ~TInvariantDecimalScope() { EndInvariantDecimal(); }
    TInvariantDecimalScope(const TInvariantDecimalScope&) = delete;
    TInvariantDecimalScope& operator=(const TInvariantDecimalScope&) = delete;
};

// Removes characters with codes 0..32 at both ends.
std::string_view TrimBlanks(std::string_view Text);
