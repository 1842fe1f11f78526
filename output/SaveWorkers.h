#pragma once
// The workers that write what the save dialog described, each on a thread of
// its own under a progress dialog: one raw file developed and saved
// (RunDevelopSaveJob), a batch of them (BatchDevelopSaveThreadProc, started by
// CSaveMultiProgressDlg), the embedded JPEG pictures of raw files copied out
// (RunExtractJpegJob); and the synchronous save of a picture a review window
// shows (SaveDibWithProfile).
//
// The development facade does the developing and writing (one file per call,
// under the engine lock it takes itself) and writes each output under a
// temporary name that appears only when complete, so a cancelled or failed
// save leaves no file. No worker shows a message; the facade's results are
// turned into control flow: 0 done, 1 cancelled, 2 the source did not open,
// 3 development or writing failed.

#include "foundation/FString.h"
#include "platform/afx/AfxWin.h"

#include <vector>

class CET_Dib;
class CKVR_FilterData;
class CSaveJob;
class CThreadProgressDlg;

// Develops and saves input 0 of the job under the dialog; the facade's result
// (0 done, 1 cancelled, 2 source not opened, 3 failed; 3 also when the thread
// cannot be made). computed (may be null) receives the automatic values.
int RunDevelopSaveJob(CSaveJob* job, CThreadProgressDlg* dialog, CKVR_FilterData* computed);

// Copies the large embedded JPEG of each source to its output (same order)
// under the dialog; TRUE when at least one file was written.
BOOL RunExtractJpegJob(const std::vector<FString>* sources, const std::vector<FString>* outputs,
                       CThreadProgressDlg* dialog);

// Saves the picture as output 0 of the job (JPEG at the job's quality in
// percent, or TIFF) with the profile of the job's colour space and the EXIF
// items of input 0, on the calling thread. FALSE without a valid picture or
// when the file cannot be written.
BOOL SaveDibWithProfile(const CSaveJob* job, const CET_Dib* picture);

// The thread procedures. Parameters: DevelopSaveThreadProc and
// ExtractJPEGThreadProc their runner's blocks, BatchDevelopSaveThreadProc the
// CSaveMultiProgressDlg. The extraction's exit code is the number of files
// written.
UINT DevelopSaveThreadProc(LPVOID parameter);
UINT ExtractJPEGThreadProc(LPVOID parameter);
UINT BatchDevelopSaveThreadProc(LPVOID parameter);

// The ICC profile code of a colour-space choice 0-4 (sRGB for any other).
int ColorSpaceProfileCode(int colorSpace);
