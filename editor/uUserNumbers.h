#pragma once
// Numbers typed into and shown in the editor's fields. A field shows its number in the
// user's locale or with "." and reads back both ways, so that what a field shows always
// reads back as the value shown. Text that is not exactly one number, "nan", "inf" and
// values beyond the 32-bit float range never convert.
#include <QString>

#include <cstdint>

// The whole (trimmed) text as a finite single: with "." first, then in the user's locale.
bool ParseUserFloat(const QString& Text, float& Value);
// The whole (trimmed) text as a 32-bit integer.
bool ParseUserInt(const QString& Text, int32_t& Value);
// Value with Decimals places in the user's locale, without group separators.
QString FormatUserNumber(double Value, int Decimals);
// Value with at most Decimals places and "." ("0.##" for two): 30 gives "30", 29.97
// gives "29.97".
QString FormatDotNumber(double Value, int Decimals);
