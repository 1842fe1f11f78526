#pragma once
// The message a second start sends the first instance over the instance
// socket: "LMH1", the copy-data record's data word and byte count (32-bit,
// little-endian), then that many bytes: nothing (bring the window forward
// only) or a UTF-16LE path with its final 0. The first instance answers one
// byte: 1 when its handler ran, 0 when it refused.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::core {

constexpr std::size_t kHandOverHeaderBytes = 12;
// Any path the file system takes (4096 bytes give at most 4096 units) and its final 0.
constexpr std::uint32_t kHandOverMaxBytes = (4096 + 1) * 2;

struct HandOverMessage {
  std::uint32_t dataWord = 0;
  std::u16string path; // without the final 0; empty: bring the window forward only
};

// The message for a path (empty: bring the window forward only); empty
// when the path cannot travel.
std::vector<std::uint8_t> EncodeHandOver(std::u16string_view path);
// The payload's byte count announced by a header, or -1 for a header that
// is refused (wrong magic, too long).
std::int64_t HandOverPayloadBytes(const std::uint8_t* header);
// A whole message (header and payload); nothing when it is refused: an odd
// byte count, no final 0 or one before the end, or text that names no file
// (surrogates other than the escapes of undecodable file-name bytes).
std::optional<HandOverMessage> DecodeHandOver(const std::uint8_t* bytes, std::size_t size);

} // namespace platform::core
