#pragma once
// Text to number conversions with the classic error texts, for fields whose
// bad content is reported through the standard error box.
#include <QString>

// Decimal (or "$"/"0x" hexadecimal) 32-bit integer with optional sign and
// surrounding blanks; otherwise throws Error("'<text>' is not a valid integer value").
int StrToInt(const QString& text);
