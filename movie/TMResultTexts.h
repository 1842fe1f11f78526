#pragma once
// The library's own texts for the result codes of the movie framework it was
// designed around: 121 codes (16 status and 105 failure codes), three pairs
// of which share a text.

#include "movie/TKRMovieDefs.h"

#include <cstddef>

namespace tkrmovie {

constexpr std::size_t kResultTextCount = 121;

// The code's text, or null when the table has none.
const char16_t* ResultText(LONG code);

} // namespace tkrmovie
