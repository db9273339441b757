#pragma once
// ParseExposeNumber: the number carried by an "Expose" command, converted the
// way the Windows program converts it, so both ends agree on every text:
//   - leading blanks are skipped;
//   - one "+" or "-" is allowed;
//   - "$", "x", "X", "0x" or "0X" introduce hexadecimal digits (up to 32 bits,
//     read as two's complement, so "$FFFFFFFF" is -1);
//   - at least one digit, and nothing may follow the digits;
//   - a decimal value must fit a signed 32-bit integer.
// Returns nothing when the text does not convert (empty, stray character,
// overflow); the caller then uses 0.
#include <QByteArrayView>
#include <optional>

std::optional<int> ParseExposeNumber(QByteArrayView text);
