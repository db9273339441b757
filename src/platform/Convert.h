#pragma once
// Text to number conversions with the classic error texts, for fields whose
// bad content is reported through the standard error box.
#include <QString>
#include <optional>

// A decimal (or "$"/"0x" hexadecimal) 32-bit integer with optional sign and
// surrounding blanks; nothing for any other text or a value out of range.
std::optional<int> TryStrToInt(const QString& text);

// As TryStrToInt, but throws Error("'<text>' is not a valid integer value").
int StrToInt(const QString& text);
