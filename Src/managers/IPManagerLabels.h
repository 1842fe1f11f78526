#pragma once
// The cache labels of a per-image worker's results. Each label holds every
// input that shapes its result, so a later request that shares a prefix of the
// pipeline finds the finished results, and a request that differs in anything
// that shapes a result never takes another's. Labels never leave the process.
#include "foundation/FString.h"

class FPropTree;
class IPManagerData;

struct FIPManagerLabels {
    FString m_sStage1Out;
    FString m_sStage2Out;
    FString m_sStage2OutRtnx;
    FString m_sStage2OutRefKV;
    FString m_sStage3Out;
    FString m_sStage3OutL;
    FString m_sStage3OutRtnx;
    FString m_sStage4Out;
    FString m_sToneLUT;
    FString m_sGammaLUT;
    FString m_sRtnxLUT;
};

// The labels of a request for the file with the capture properties and the
// unique id (the look-up tables carry no file part, so pictures with equal tone
// settings share them).
FIPManagerLabels BuildIPManagerLabels(const IPManagerData& request, const FPropTree& captureProps,
                                      const FString& uniqueId);

// The label of a file's capture properties.
FString PropertiesLabel(const FString& url, const FString& uniqueId);
