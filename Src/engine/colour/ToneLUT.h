#pragma once
// The two 64K tables that carry the user's tone settings into stage 4.
//
// The tone table (three int16 tables R, G, B) maps a cube-root working code
// (index n for n / 4096; indexes from 32768 up stand for negative codes) to a
// linear output value x 4096 with exposure, contrast, shadow, highlight and
// colour gains applied, limited to 16384 (4.0). The gamma table maps a linear
// value (index i for i / 4096) to the output encoding x (2^bits - 1), with a
// linear toe and a soft shoulder.
#include "foundation/FValueTypes.h"

#include <cstdint>

// A colour space's transfer function: a power law of exponent g with an
// optional linear segment below the break b, plus the toe line that the soft
// encoding uses near black.
struct FTransferCurve {
    double dExponent = 1.0;  // g, the encoding exponent
    double dBreak = 0.0;     // b, linear below it (0: pure power law)
    double dOffset = 0.0;    // a, offset of the power segment
    double dSlope = 1.0;     // s, slope of the linear segment
    double dToeEnd = 0.0;    // xt, end of the soft encoding's toe line
    double dToeOffset = 0.0; // yt, the toe line at 0
    double dToeSlope = 1.0;  // k

    void Init(double exponent, double breakPoint);
    // Ids 0 to 11; throws FExceptionPixelProc2 "Unknown Color Space" for any other.
    void InitForColorSpace(int32_t colorSpace);

    // The plain encoding and its inverse.
    double Encode(double linear) const;
    double Decode(double encoded) const;
    // The encoding with the toe line below xt and a shoulder above 0.4 that
    // approaches 1.5.
    double EncodeSoft(double linear) const;
};

// The shape of a tone curve, derived from the user's settings.
struct ToneCurveShape {
    double dContrastExponent = 0.0; // P
    double dHighlight = 0.0;        // Q
    double dBlack = 0.0;            // c
    double dMidScale = 0.0;         // S, keeps 0.18 at 0.18 before the knee
    double dToeEnd = 0.0;           // f
    double dToeSlope = 0.0;         // q
    double dToeOffset = 0.0;        // r0
    FDoubleTriple adGain;           // per channel, normalised by the mean of the gains
};

// The shape for the settings, with the flag adjustments of GenerateFinalToneCurve applied.
ToneCurveShape MakeToneCurveShape(double exposure, double shadow, double contrast, double highlight, double gainR,
                                  double gainG, double gainB, bool lowISO, bool modelToneOffsets);

// One channel's tone operator on a linear value x: black c, gain G and flare m
// removed, then a straight toe line in the sRGB-encoded domain below the toe
// end f, or the contrast power S r^P bent by a soft knee towards an asymptote
// set by the highlight Q.
double ToneMapValue(double x, double gain, double black, double contrastExponent, double highlight, double toeEnd,
                    double toeSlope, double toeOffset, double midScale, double flare, const FTransferCurve& curve);

// Fills a tone table of at least 65536 entries per channel (assertion
// "OutToneLUT->GetSize() >= 65536" otherwise). inverseCubeRoot maps a code to
// its linear value.
void GenerateFinalToneCurve(double exposure, double shadow, double contrast, double highlight, double gainR,
                            double gainG, double gainB, const FLUT16& inverseCubeRoot, FLUT16RGB* OutToneLUT,
                            bool lowISO, bool modelToneOffsets);

// Fills a 65536-entry gamma table for the colour space (0 to 11) and output
// bits (1 to 16); entries are the 16-bit patterns of the unsigned codes.
void MakeGammaLUT(FLUT16& table, int32_t colorSpace, int32_t bits);
