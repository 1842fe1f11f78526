#pragma once
// Quarter-turn (and any-angle) mappings of rectangles between a file's
// orientation and the displayed one, in 16.16 fixed point. The offsets follow
// the pixel convention (w - 1, h - 1) while the rectangles are exclusive, so a
// turned rectangle may start one unit before 0: callers clamp where it matters.
#include "foundation/FValueTypes.h"

#include <cstdint>

struct FRotation16 {
    // The rotation by angle degrees of a w x h source, offset so the turned
    // picture starts at 0.
    FRotation16(double angleDegrees, int32_t width, int32_t height);

    int32_t m0, m1, ox, m3, m4, oy;
};

// The bounds of the rectangle's two corners mapped through the rotation.
FIntRect TransformRectBounds(const FIntRect& rect, const FRotation16& rotation);

// Turns rect (in place) within a picture of the given size, and the size into
// the turned picture's size.
void RotateRectBounds(FIntRect& rect, FIntSize& size, double angleDegrees);
