#pragma once
// Pixel-row conversion. One family of row converters changes the pixel type of
// a row with fixed bit-exact rules; the dispatchers apply them to whole pixmaps.
//
// A converter reads count pixels at source and writes count pixels at
// destination. It checks nothing and keeps no state; a count of 0 or less writes
// nothing. Channels always go by colour (R to R, G to G, B to B), alpha bytes of
// sources are never read, and every 32-bit destination gets alpha 255.
// Rows may start at any byte address.
//
// There are no converters into 30BGRL, 32ABGR, 32RGBA, 48SRGB or any grey type.
// A 16SMono row goes to 30RGBL and 30RGB by its own members and to the other
// destinations by the 16Mono members (the 16-bit pattern is what counts).

#include <cstdint>

class FPixmap;
class FIntRect;

// From 24BGR.
void ConvertRow24BGRTo24BGR(int32_t count, const void* source, void* destination);
void ConvertRow24BGRTo24RGB(int32_t count, const void* source, void* destination);
void ConvertRow24BGRTo30RGBL(int32_t count, const void* source, void* destination);
void ConvertRow24BGRTo30RGB(int32_t count, const void* source, void* destination);
void ConvertRow24BGRTo32ARGB(int32_t count, const void* source, void* destination);
void ConvertRow24BGRTo32BGRA(int32_t count, const void* source, void* destination);
void ConvertRow24BGRTo48RGB(int32_t count, const void* source, void* destination);
void ConvertRow24BGRTo48BGR(int32_t count, const void* source, void* destination);
// From 24RGB.
void ConvertRow24RGBTo24BGR(int32_t count, const void* source, void* destination);
void ConvertRow24RGBTo24RGB(int32_t count, const void* source, void* destination);
void ConvertRow24RGBTo30RGBL(int32_t count, const void* source, void* destination);
void ConvertRow24RGBTo30RGB(int32_t count, const void* source, void* destination);
void ConvertRow24RGBTo32ARGB(int32_t count, const void* source, void* destination);
void ConvertRow24RGBTo32BGRA(int32_t count, const void* source, void* destination);
void ConvertRow24RGBTo48RGB(int32_t count, const void* source, void* destination);
void ConvertRow24RGBTo48BGR(int32_t count, const void* source, void* destination);
// From 30RGBL.
void ConvertRow30RGBLTo24BGR(int32_t count, const void* source, void* destination);
void ConvertRow30RGBLTo24RGB(int32_t count, const void* source, void* destination);
void ConvertRow30RGBLTo30RGBL(int32_t count, const void* source, void* destination);
void ConvertRow30RGBLTo30RGB(int32_t count, const void* source, void* destination);
void ConvertRow30RGBLTo32ARGB(int32_t count, const void* source, void* destination);
void ConvertRow30RGBLTo32BGRA(int32_t count, const void* source, void* destination);
void ConvertRow30RGBLTo48RGB(int32_t count, const void* source, void* destination);
void ConvertRow30RGBLTo48BGR(int32_t count, const void* source, void* destination);
// From 30BGRL.
void ConvertRow30BGRLTo24BGR(int32_t count, const void* source, void* destination);
void ConvertRow30BGRLTo24RGB(int32_t count, const void* source, void* destination);
void ConvertRow30BGRLTo30RGBL(int32_t count, const void* source, void* destination);
void ConvertRow30BGRLTo30RGB(int32_t count, const void* source, void* destination);
void ConvertRow30BGRLTo32ARGB(int32_t count, const void* source, void* destination);
void ConvertRow30BGRLTo32BGRA(int32_t count, const void* source, void* destination);
void ConvertRow30BGRLTo48RGB(int32_t count, const void* source, void* destination);
void ConvertRow30BGRLTo48BGR(int32_t count, const void* source, void* destination);
// From 30RGB.
void ConvertRow30RGBTo24BGR(int32_t count, const void* source, void* destination);
void ConvertRow30RGBTo24RGB(int32_t count, const void* source, void* destination);
void ConvertRow30RGBTo30RGBL(int32_t count, const void* source, void* destination);
void ConvertRow30RGBTo30RGB(int32_t count, const void* source, void* destination);
void ConvertRow30RGBTo32ARGB(int32_t count, const void* source, void* destination);
void ConvertRow30RGBTo32BGRA(int32_t count, const void* source, void* destination);
void ConvertRow30RGBTo48RGB(int32_t count, const void* source, void* destination);
void ConvertRow30RGBTo48BGR(int32_t count, const void* source, void* destination);
// From 32ARGB.
void ConvertRow32ARGBTo24BGR(int32_t count, const void* source, void* destination);
void ConvertRow32ARGBTo24RGB(int32_t count, const void* source, void* destination);
void ConvertRow32ARGBTo30RGBL(int32_t count, const void* source, void* destination);
void ConvertRow32ARGBTo30RGB(int32_t count, const void* source, void* destination);
void ConvertRow32ARGBTo32ARGB(int32_t count, const void* source, void* destination);
void ConvertRow32ARGBTo32BGRA(int32_t count, const void* source, void* destination);
void ConvertRow32ARGBTo48RGB(int32_t count, const void* source, void* destination);
void ConvertRow32ARGBTo48BGR(int32_t count, const void* source, void* destination);
// From 32ABGR.
void ConvertRow32ABGRTo24BGR(int32_t count, const void* source, void* destination);
void ConvertRow32ABGRTo24RGB(int32_t count, const void* source, void* destination);
void ConvertRow32ABGRTo30RGBL(int32_t count, const void* source, void* destination);
void ConvertRow32ABGRTo30RGB(int32_t count, const void* source, void* destination);
void ConvertRow32ABGRTo32ARGB(int32_t count, const void* source, void* destination);
void ConvertRow32ABGRTo32BGRA(int32_t count, const void* source, void* destination);
void ConvertRow32ABGRTo48RGB(int32_t count, const void* source, void* destination);
void ConvertRow32ABGRTo48BGR(int32_t count, const void* source, void* destination);
// From 32BGRA.
void ConvertRow32BGRATo24BGR(int32_t count, const void* source, void* destination);
void ConvertRow32BGRATo24RGB(int32_t count, const void* source, void* destination);
void ConvertRow32BGRATo30RGBL(int32_t count, const void* source, void* destination);
void ConvertRow32BGRATo30RGB(int32_t count, const void* source, void* destination);
void ConvertRow32BGRATo32ARGB(int32_t count, const void* source, void* destination);
void ConvertRow32BGRATo32BGRA(int32_t count, const void* source, void* destination);
void ConvertRow32BGRATo48RGB(int32_t count, const void* source, void* destination);
void ConvertRow32BGRATo48BGR(int32_t count, const void* source, void* destination);
// From 32RGBA.
void ConvertRow32RGBATo24BGR(int32_t count, const void* source, void* destination);
void ConvertRow32RGBATo24RGB(int32_t count, const void* source, void* destination);
void ConvertRow32RGBATo30RGBL(int32_t count, const void* source, void* destination);
void ConvertRow32RGBATo30RGB(int32_t count, const void* source, void* destination);
void ConvertRow32RGBATo32ARGB(int32_t count, const void* source, void* destination);
void ConvertRow32RGBATo32BGRA(int32_t count, const void* source, void* destination);
void ConvertRow32RGBATo48RGB(int32_t count, const void* source, void* destination);
void ConvertRow32RGBATo48BGR(int32_t count, const void* source, void* destination);
// From 48RGB.
void ConvertRow48RGBTo24BGR(int32_t count, const void* source, void* destination);
void ConvertRow48RGBTo24RGB(int32_t count, const void* source, void* destination);
void ConvertRow48RGBTo30RGBL(int32_t count, const void* source, void* destination);
void ConvertRow48RGBTo30RGB(int32_t count, const void* source, void* destination);
void ConvertRow48RGBTo32ARGB(int32_t count, const void* source, void* destination);
void ConvertRow48RGBTo32BGRA(int32_t count, const void* source, void* destination);
void ConvertRow48RGBTo48RGB(int32_t count, const void* source, void* destination);
void ConvertRow48RGBTo48BGR(int32_t count, const void* source, void* destination);
// From 48SRGB.
void ConvertRow48SRGBTo24BGR(int32_t count, const void* source, void* destination);
void ConvertRow48SRGBTo24RGB(int32_t count, const void* source, void* destination);
void ConvertRow48SRGBTo30RGBL(int32_t count, const void* source, void* destination);
void ConvertRow48SRGBTo30RGB(int32_t count, const void* source, void* destination);
void ConvertRow48SRGBTo32ARGB(int32_t count, const void* source, void* destination);
void ConvertRow48SRGBTo32BGRA(int32_t count, const void* source, void* destination);
void ConvertRow48SRGBTo48RGB(int32_t count, const void* source, void* destination);
void ConvertRow48SRGBTo48BGR(int32_t count, const void* source, void* destination);
// From 48BGR.
void ConvertRow48BGRTo24BGR(int32_t count, const void* source, void* destination);
void ConvertRow48BGRTo24RGB(int32_t count, const void* source, void* destination);
void ConvertRow48BGRTo30RGBL(int32_t count, const void* source, void* destination);
void ConvertRow48BGRTo30RGB(int32_t count, const void* source, void* destination);
void ConvertRow48BGRTo32ARGB(int32_t count, const void* source, void* destination);
void ConvertRow48BGRTo32BGRA(int32_t count, const void* source, void* destination);
void ConvertRow48BGRTo48RGB(int32_t count, const void* source, void* destination);
void ConvertRow48BGRTo48BGR(int32_t count, const void* source, void* destination);
// From 8Mono.
void ConvertRow8MonoTo24BGR(int32_t count, const void* source, void* destination);
void ConvertRow8MonoTo24RGB(int32_t count, const void* source, void* destination);
void ConvertRow8MonoTo30RGBL(int32_t count, const void* source, void* destination);
void ConvertRow8MonoTo30RGB(int32_t count, const void* source, void* destination);
void ConvertRow8MonoTo32ARGB(int32_t count, const void* source, void* destination);
void ConvertRow8MonoTo32BGRA(int32_t count, const void* source, void* destination);
void ConvertRow8MonoTo48RGB(int32_t count, const void* source, void* destination);
void ConvertRow8MonoTo48BGR(int32_t count, const void* source, void* destination);
// From 12Mono.
void ConvertRow12MonoTo24BGR(int32_t count, const void* source, void* destination);
void ConvertRow12MonoTo24RGB(int32_t count, const void* source, void* destination);
void ConvertRow12MonoTo30RGBL(int32_t count, const void* source, void* destination);
void ConvertRow12MonoTo30RGB(int32_t count, const void* source, void* destination);
void ConvertRow12MonoTo32ARGB(int32_t count, const void* source, void* destination);
void ConvertRow12MonoTo32BGRA(int32_t count, const void* source, void* destination);
void ConvertRow12MonoTo48RGB(int32_t count, const void* source, void* destination);
void ConvertRow12MonoTo48BGR(int32_t count, const void* source, void* destination);
// From 16Mono.
void ConvertRow16MonoTo24BGR(int32_t count, const void* source, void* destination);
void ConvertRow16MonoTo24RGB(int32_t count, const void* source, void* destination);
void ConvertRow16MonoTo30RGBL(int32_t count, const void* source, void* destination);
void ConvertRow16MonoTo30RGB(int32_t count, const void* source, void* destination);
void ConvertRow16MonoTo32ARGB(int32_t count, const void* source, void* destination);
void ConvertRow16MonoTo32BGRA(int32_t count, const void* source, void* destination);
void ConvertRow16MonoTo48RGB(int32_t count, const void* source, void* destination);
void ConvertRow16MonoTo48BGR(int32_t count, const void* source, void* destination);
// From 32Mono.
void ConvertRow32MonoTo24BGR(int32_t count, const void* source, void* destination);
void ConvertRow32MonoTo24RGB(int32_t count, const void* source, void* destination);
void ConvertRow32MonoTo30RGBL(int32_t count, const void* source, void* destination);
void ConvertRow32MonoTo30RGB(int32_t count, const void* source, void* destination);
void ConvertRow32MonoTo32ARGB(int32_t count, const void* source, void* destination);
void ConvertRow32MonoTo32BGRA(int32_t count, const void* source, void* destination);
void ConvertRow32MonoTo48RGB(int32_t count, const void* source, void* destination);
void ConvertRow32MonoTo48BGR(int32_t count, const void* source, void* destination);
// From 16SMono.
void ConvertRow16SMonoTo30RGBL(int32_t count, const void* source, void* destination);
void ConvertRow16SMonoTo30RGB(int32_t count, const void* source, void* destination);

// Converts a whole pixmap into an existing destination of its final type and
// size. Without a crop every source row k goes to destination row k; with one,
// source rows crop.top to crop.bottom - 1 starting at column crop.left go to
// destination rows 0, 1, ... Each row converts destination-columns pixels.
// Failures throw FException before any row is written.
void ConvertColorPixmap(const FPixmap* source, FPixmap* destination, const FIntRect* crop = nullptr);

// The dispatchers for colour sources (types 6-17) and grey sources (types 1-5).
void ConvertColorSourcePixmap(const FPixmap* source, FPixmap* destination, const FIntRect* crop = nullptr);
void ConvertMonoPixmap(const FPixmap* source, FPixmap* destination, const FIntRect* crop = nullptr);
