#pragma once
// Developing one raw file and writing the result as a JPEG or TIFF file, for
// the save workers (a file of the save dialog, or each file of a batch).
//
// The job runs on a private per-image worker of its own (the save writes the
// file in strips, under a temporary name that appears only when complete) and
// holds the engine lock from its first use of the image core to its end, so
// the user interface and other workers wait for the whole save. With setting
// mode 2 and no settings record an automatic adjustment runs first: progress
// 0 to 50 for it, then 50 to 100 for the save; otherwise 0 to 100. The
// callback (may be null) gets whole percentages, at most every 0.1 s and only
// when they changed; a 0 from it cancels, and a cancelled or failed job
// leaves no output file.
//
// Typical use, in a save worker:
//   CSaveJob job;  job.m_nSettingMode = 1;  job.m_aInputs = {raw};  job.m_aOutputs = {jpeg};
//   switch (KVR_DevelopAndSave(&job, ProgressToDialog, dialog, nullptr)) { ... }

#include "shell/facade/CKVR_ImageHandle.h" // KVRProgressCallback

class CKVR_FilterData;
class CSaveJob;
class FIPManager;
class IPManagerData;

enum KVRSaveResult : int {
    kSaveDone = 0,
    kSaveCancelled = 1,
    kSaveInputNotRaw = 2, // the input is missing, a folder or no readable raw file
    kSaveFailed = 3,      // the job cannot be saved, the automatic pass or the save failed
};

// Develops input 0 of the job into output 0 (see above). computed (may be
// null) receives the automatic pass's values: adjustments x 100 truncated, the
// gains as densities.
int KVR_DevelopAndSave(const CSaveJob* job, KVRProgressCallback callback, void* user, CKVR_FilterData* computed);
// The same on the given worker instead of a new private one; the worker is
// left to its owner.
int KVR_DevelopAndSaveOn(FIPManager* worker, const CSaveJob* job, KVRProgressCallback callback, void* user,
                         CKVR_FilterData* computed);

// False, before anything is opened, for a job that cannot be saved: no input
// or output, a setting mode outside 1..4, mode 3 or 4 without a settings
// record, a size mode outside 0..2, a colour space outside 0..4 or a file type
// outside 0..2.
bool KVR_IsSaveJobValid(const CSaveJob& job);
// The save's fields of the request for the job on an image of that size: kind
// save, the paths as URLs, version and software name, colour-space code, file
// type, output format and quality field, setting-mode code and name, the
// accurate transform, the output size and crop; the adjustments and noise
// strengths of settings when it is given (unset values left alone).
void KVR_FillSaveRequest(IPManagerData& request, const CSaveJob& job, const CKVR_FilterData* settings,
                         int imageWidth, int imageHeight);
