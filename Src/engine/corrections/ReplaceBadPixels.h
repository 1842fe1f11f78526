#pragma once
// Repair of the sensor's known defective pixels: each listed pixel becomes
// the mean of the neighbours its entry selects.
#include "foundation/FPixmap.h"

#include <cstdint>

// An entry: bits 20-31 the row, bits 8-19 the column, bits 0-7 the neighbours
// to average (bit 0 upper left, 1 above, 2 upper right, 3 left, 4 right,
// 5 lower left, 6 below, 7 lower right).
//
// offset (dx, dy), when given, is added to every entry's column and row.
// Entries whose pixel lies outside rows 2 .. H-2 or columns 2 .. W-2, or that
// select no neighbour, are skipped one by one. Entries apply in list order,
// so a repaired pixel can serve a later entry. image: FPixmap::PIXEL_48S_RGB.
void ReplaceBadPixels(FPixmap* image, const uint32_t* entries, uint32_t count, const int32_t* offset);
