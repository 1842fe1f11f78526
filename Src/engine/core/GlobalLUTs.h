#pragma once
// Tables that depend only on constants or on a few parameters, built once per
// process on first use and kept until the program ends: the cube-root table
// that moves linear working values (4096 = 1.0) into the perceptual domain of
// stages 3 and 4, its inverse, and the windowed tanh tables of the chroma
// filters. Any thread may ask for them; the returned tables are immutable and
// are used without a lock.
#include "foundation/FSync.h"
#include "foundation/FValueTypes.h"

#include <memory>
#include <vector>

class FGlobalLUTsClass {
public:
    FGlobalLUTsClass() = default;
    FGlobalLUTsClass(const FGlobalLUTsClass&) = delete;
    FGlobalLUTsClass& operator=(const FGlobalLUTsClass&) = delete;

    // The process-wide instance.
    static FGlobalLUTsClass& Instance();

    // 65536 entries indexed by a working value read as unsigned 16 bits
    // (-1 is entry 65535). Throw FExceptionPixelProc2 "FGlobalLUTsClass: error
    // acquiring MUTEX" when the lock is not obtained within 100 ms.
    const FLUT16& GetCubeRootLUT();
    const FLUT16& GetInverseCubeRootLUT();
    // The soft limiter of strengths S and normalisers N (x, y, z in the red,
    // green and blue slots), cached by the exact six values (NaN matching NaN). A channel whose
    // strength or normaliser is not a positive finite number is all zeros.
    const FLUT16RGB& GetChromaWeightLUT(const FDoubleTriple& strengths, const FDoubleTriple& normalisers);

private:
    struct ChromaWeightLUTEntry {
        FDoubleTriple strengths;
        FDoubleTriple normalisers;
        FLUT16RGB table;
    };

    class Lock;

    FMutex m_Mutex;
    std::unique_ptr<FLUT16> m_pCubeRootLUT;
    std::unique_ptr<FLUT16> m_pInvCubeRootLUT;
    std::vector<std::unique_ptr<ChromaWeightLUTEntry>> m_ChromaWeightLUTs;
};

// Shorthands for the process-wide instance.
inline const FLUT16& GetCubeRootLUT() { return FGlobalLUTsClass::Instance().GetCubeRootLUT(); }
inline const FLUT16& GetInverseCubeRootLUT() { return FGlobalLUTsClass::Instance().GetInverseCubeRootLUT(); }
inline const FLUT16RGB& GetChromaWeightLUT(const FDoubleTriple& strengths, const FDoubleTriple& normalisers)
{
    return FGlobalLUTsClass::Instance().GetChromaWeightLUT(strengths, normalisers);
}

