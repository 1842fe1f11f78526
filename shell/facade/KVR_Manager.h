#pragma once
// The flat interface of the development facade: every function takes the
// handle (or list reader) first, tests it for null and forwards; a null
// handle gives the result its comment names (0 unless said otherwise).
// Failures are return values; the handle keeps the text of the last one.
//
// Everything that reaches the managers runs in the caller's thread and
// expects the caller to hold the engine lock (KVR_EngineLock.h) for the whole
// use of a handle: from KVR_CreateHandle or KVR_ReadProperties until the
// result rows are copied out. The list readers use private managers and need
// no lock.

#include "shell/facade/CKVR_ImageHandle.h"

class CKVR_FilterData;
class FPropPair;
class KVRPropsReader;

// ---- Handles

// A handle on a raw file, null when the path names no readable regular file,
// the file is not a raw file (no "PDXb" magic) or memory runs out. Works
// through the process-wide manager pool.
CKVR_ImageHandle* KVR_CreateHandle(const char16_t* nativePath);
void KVR_DestroyHandle(CKVR_ImageHandle* handle);

int KVR_ReadProperties(CKVR_ImageHandle* handle);
void KVR_ReloadProperties(CKVR_ImageHandle* handle);
int KVR_WriteProperties(CKVR_ImageHandle* handle);
int KVR_ApplyFileSettings(CKVR_ImageHandle* handle);
// The display preview at the size (the height taken as a 16-bit value).
int KVR_Process(CKVR_ImageHandle* handle, int width, int height);
int KVR_ProcessWithProgress(CKVR_ImageHandle* handle, KVRProgressCallback callback, void* user);
void KVR_Cancel(CKVR_ImageHandle* handle);
// "" for a null handle.
const char* KVR_GetLastError(const CKVR_ImageHandle* handle);

int KVR_GetImageWidth(const CKVR_ImageHandle* handle);
int KVR_GetImageHeight(const CKVR_ImageHandle* handle);
int KVR_GetOutputWidth(const CKVR_ImageHandle* handle);
int KVR_GetOutputHeight(const CKVR_ImageHandle* handle);
int KVR_GetOutputRowBytes(CKVR_ImageHandle* handle);
int KVR_GetOutputRow(CKVR_ImageHandle* handle, int row, void* buffer);
// 1 24-bit RGB, 2 32-bit display (B, G, R, A), 3 48-bit RGB; 0 otherwise.
int KVR_GetOutputPixelFormat(const CKVR_ImageHandle* handle);

void KVR_SetOutputFormat(CKVR_ImageHandle* handle, int flag48);
int KVR_SetOutputSize(CKVR_ImageHandle* handle, int width, int height);
int KVR_SetCrop(CKVR_ImageHandle* handle, int x, int y, int width, int height);
int KVR_SetColorAdjust(CKVR_ImageHandle* handle, double red, double green, double blue);
void KVR_SetExposure(CKVR_ImageHandle* handle, double value);
void KVR_SetShadow(CKVR_ImageHandle* handle, double value);
void KVR_SetContrast(CKVR_ImageHandle* handle, double value);
void KVR_SetHighlight(CKVR_ImageHandle* handle, double value);
void KVR_SetSaturation(CKVR_ImageHandle* handle, double value);
void KVR_SetSharpness(CKVR_ImageHandle* handle, double value);
void KVR_SetFillLight(CKVR_ImageHandle* handle, double value);
void KVR_SetChromaNoise(CKVR_ImageHandle* handle, double value);
void KVR_SetLumaNoise(CKVR_ImageHandle* handle, double value);
void KVR_SetColorSpace(CKVR_ImageHandle* handle, int code);
void KVR_SetWhiteBalance(CKVR_ImageHandle* handle, const char* descriptor);
void KVR_SetColorMode(CKVR_ImageHandle* handle, const char* descriptor);
void KVR_EnableAutoAdjust(CKVR_ImageHandle* handle);

int KVR_GetAutoExposure(const CKVR_ImageHandle* handle, double* value);
int KVR_GetAutoShadow(const CKVR_ImageHandle* handle, double* value);
int KVR_GetAutoContrast(const CKVR_ImageHandle* handle, double* value);
int KVR_GetAutoHighlight(const CKVR_ImageHandle* handle, double* value);
int KVR_GetAutoSaturation(const CKVR_ImageHandle* handle, double* value);
int KVR_GetAutoFillLight(const CKVR_ImageHandle* handle, double* value);
int KVR_GetAutoColorAdjust(const CKVR_ImageHandle* handle, double* red, double* green, double* blue);
// After an automatic development: the computed values into the record
// (adjustments x 100 truncated, the gains as densities, sharpness 0, the auto
// flag 1); its white balance, colour mode and noise fields stay. 0, changing
// nothing, when the handle holds no automatic development.
int KVR_GetAutoFilterData(const CKVR_ImageHandle* handle, CKVR_FilterData* settings);

// The value (7-bit text) cut to outSize - 1 bytes and terminated.
int KVR_GetProperty(const CKVR_ImageHandle* handle, const char* name, char* out, size_t outSize);
int KVR_SetProperty(CKVR_ImageHandle* handle, const char* name, const char* value);
// -1 for a null handle.
int KVR_GetNoiseReduction(const CKVR_ImageHandle* handle, double* chroma, double* luma);

// ---- Progress

// The context of KVR_ProgressTrampoline, alive for one development.
struct KVRProgressContext {
    CKVR_ImageHandle* handle;
    KVRProgressCallback callback; // may be null
    void* user;
};
// Give this with a KVRProgressContext as the user pointer of
// KVR_ProcessWithProgress: the context's callback gets (percentage, user),
// and a 0 from it cancels the development.
int KVR_ProgressTrampoline(int percentage, void* context);

// ---- Camera lists of a file (private managers; no engine lock needed)

// Null when memory runs out; a file without a list gives a reader without pairs.
KVRPropsReader* KVR_CreateColorModeList(const char16_t* nativePath);
KVRPropsReader* KVR_CreateIlluminantList(const char16_t* nativePath);
void KVR_DeleteColorModeList(KVRPropsReader* reader);
void KVR_DeleteIlluminantList(KVRPropsReader* reader);
const FPropPair* KVR_GetFirstColorMode(const KVRPropsReader* reader);
const FPropPair* KVR_GetFirstIlluminant(const KVRPropsReader* reader);
// The pair's descriptor into out (kKVRDescriptorSize bytes, cut and
// terminated), and the next pair. A null reader gives null and "".
const FPropPair* KVR_GetNextColorMode(const KVRPropsReader* reader, const FPropPair* pair, char* out);
const FPropPair* KVR_GetNextIlluminant(const KVRPropsReader* reader, const FPropPair* pair, char* out);
