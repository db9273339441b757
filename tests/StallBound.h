#pragma once
// The longest pass of the UI thread a test accepts: 50 ms, as the program
// promises; three times that in the sanitizer build, which slows every step
// three to five times (tandexa_add_test defines TANDEXA_SANITIZE_BUILD there).
#include <QtGlobal>

#ifdef TANDEXA_SANITIZE_BUILD
constexpr qint64 kStallBoundMs = 150;
#else
constexpr qint64 kStallBoundMs = 50;
#endif
