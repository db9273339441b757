#pragma once
// The simple system beep (invalid key, invalid field). The widget layer
// installs the real beep; tests install a counter.
#include <functional>

void Beep();
std::function<void()> SetBeepHandler(std::function<void()> handler);
