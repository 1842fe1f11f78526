#pragma once
// Narrow texts of the system (UTF-8) brought into the wide strings that
// requests and results carry.
#include "foundation/FException.h"
#include "foundation/FString.h"

// The wide form of a narrow text; bytes that are not UTF-8 are taken one by
// one so nothing is lost silently. Empty for null.
FString WideFromSystemText(const char* text);

// "<source>: <description> (<message>)".
FString ExceptionWideText(const char* source, const FException& exception);
