#pragma once
// The request handlers' checks of their records. A failed check is an
// assertion failure reported under the engine's name with the given test
// text; the engine turns the exception into error 14 with the report.
#include "foundation/FAssert.h"

#define FIPE_REQUIRE(pointer, text) \
    ((pointer) != nullptr ? (void)0 : AssertionFailed("FIPEngine2", __LINE__, text, 0, 0))
