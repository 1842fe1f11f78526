#pragma once
// Formats one number with a printf-style format from the program's own
// tables. A format holding anything but one conversion of the expected kind
// (real: f, e, g; integer: d, i) yields no text, never undefined behaviour.

#include <string>

std::u16string FormatRealValue(const std::u16string& format, double value);
std::u16string FormatIntegerValue(const std::u16string& format, int value);
