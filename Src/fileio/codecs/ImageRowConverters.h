#pragma once
// Row converters of the TIFF and JPEG readers and writers that the general
// pixel-row conversion does not offer (grey rows, and the 32-bit layouts it
// never writes), and the tables that pick a converter for a pair of types.
// Like the general converters, each takes the pixel count, the source row and
// the destination row and checks nothing.

#include <cstdint>

using FRowConverter = void (*)(int32_t count, const void* source, void* destination);

// Readers.
void ConvertRow16MonoTo8Mono(int32_t count, const void* source, void* destination);   // high byte
void ConvertRow16MonoTo12Mono(int32_t count, const void* source, void* destination);  // >> 4
void ConvertRow16MonoTo16Mono(int32_t count, const void* source, void* destination);  // copy
void ConvertRow16MonoTo32Mono(int32_t count, const void* source, void* destination);  // >> 4, 32-bit word
void ConvertRow24RGBTo32ABGR(int32_t count, const void* source, void* destination);
void ConvertRow24RGBTo32RGBA(int32_t count, const void* source, void* destination);
void ConvertRow30RGBLTo32ABGR(int32_t count, const void* source, void* destination);
void ConvertRow30RGBLTo32RGBA(int32_t count, const void* source, void* destination);
void ConvertRow48RGBTo32ABGR(int32_t count, const void* source, void* destination);
void ConvertRow48RGBTo32RGBA(int32_t count, const void* source, void* destination);

// The TIFF writer's 16-bit grey files.
void ConvertRow8MonoTo16Mono(int32_t count, const void* source, void* destination);   // << 8
void ConvertRow12MonoTo16Mono(int32_t count, const void* source, void* destination);  // << 4
void ConvertRow32MonoTo16Mono(int32_t count, const void* source, void* destination);  // low 16 bits << 4

// The converter that reads a decoded row of file type 3 (16-bit grey), 7
// (24RGB), 8 (30RGBL) or 15 (48RGB) into a pixmap of destinationType. Null for
// any other file type (the caller names its own failure). Throws
// FExceptionUnknownPixelType "Unknown dest pixel type" for a pair the readers
// refuse and "NOT IMPLEMENTED" for 30BGRL destinations.
FRowConverter ReaderRowConverter(int32_t fileType, int32_t destinationType);

// The converter from a source row of any type 6-17 into 24RGB, 30RGBL or
// 48RGB (the destination type); null for any other pair.
FRowConverter ColorRowConverter(int32_t sourceType, int32_t destinationType);
