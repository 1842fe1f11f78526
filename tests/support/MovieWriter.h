#pragma once
// Test movies written with FFmpeg's own encoders and muxers, so that no movie
// file is kept in the source tree. Every frame shows a flat colour that tells
// its number, with a white block in its top-left corner that tells which way
// up the picture was read.

#include <cstdint>
#include <filesystem>
#include <string>

namespace testsupport {

struct MovieShape {
    std::string format = "avi";    // FFmpeg muxer name: "avi", "mp4"
    std::string encoder = "mjpeg"; // FFmpeg encoder name: "mjpeg", "libx264", "mpeg4"
    int width = 320;
    int height = 240;
    int framesPerSecond = 10;
    int frames = 10;
    int keyFrameInterval = 0; // frames from one key frame to the next; 0: the encoder's default
    bool audio = false;       // 16-bit PCM sound beside the picture (AVI only)
};

// Writes the movie; throws std::runtime_error when FFmpeg refuses any step.
void WriteMovie(const std::filesystem::path& path, const MovieShape& shape);

struct MovieColour {
    int red;
    int green;
    int blue;
};

// The flat colour of frame n (the white block aside).
MovieColour MovieFrameColour(int frame);

// Side of the white block in the top-left corner, in pixels.
constexpr int kMovieMarkerSide = 16;

} // namespace testsupport
