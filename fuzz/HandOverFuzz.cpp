// Hostile bytes on the single-instance socket: the hand-over decoder must
// refuse them or give a path that travels back as the very same message.
#include "platform/core/HandOver.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace platform::core;
    if (size >= kHandOverHeaderBytes)
        HandOverPayloadBytes(data);
    const auto message = DecodeHandOver(data, size);
    if (message && message->dataWord == 0) {
        const auto again = EncodeHandOver(message->path);
        if (again.size() != size || std::memcmp(again.data(), data, size) != 0)
            __builtin_trap();
    }
    return 0;
}
