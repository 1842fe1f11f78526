#pragma once
// A develop-and-save job: the user's choices of the save dialog and the files
// to develop, one output path for each input. The job owns its settings record.
// The development facade (KVR_DevelopAndSave) reads element 0 of the two path
// lists, so a batch runs one job per file.

#include "foundation/FString.h"

#include <vector>

class CKVR_FilterData;

class CSaveJob {
public:
    CSaveJob() = default;
    CSaveJob(const CSaveJob&) = delete;
    CSaveJob& operator=(const CSaveJob&) = delete;
    ~CSaveJob() { FreeSettings(); }

    // Disposes of the settings record; null afterwards.
    void FreeSettings();
    // Takes the other job's choices (a clone of its settings) and paths.
    void CopyFrom(const CSaveJob* other);

    int m_nSettingMode = 0;                // 1 as shot, 2 automatic, 3 custom preset, 4 user setting
    CKVR_FilterData* m_pSettings = nullptr; // owned; null: from the file (1) or computed (2)
    int m_bWriteSettings = 0;              // write the settings used back into each raw file
    int m_nSizeMode = 0;                   // 0 the image's size, 1 half, 2 double
    int m_nColorSpace = 0;                 // 0 sRGB, 1 Apple RGB, 2 Adobe RGB, 3 ColorMatch RGB, 4 ROMM RGB
    int m_nFileType = 0;                   // 0 JPEG, 1 TIFF 8 bits a channel, 2 TIFF 16 bits a channel
    int m_nJpegQuality = 8;                // JPEG quality step 0 to 12
    int m_nJpegQualityPercent = 85;        // the same in percent, for pictures encoded by the program
    std::vector<FString> m_aInputs;        // native paths
    std::vector<FString> m_aOutputs;
};
