#pragma once
// The user's settings kept in a raw file's own header, read and written for
// the main frame's commands and the review window: rotation, marks,
// adjustments, noise reduction, white balance and colour mode; the
// white-balance and colour-mode choice lists with their display names; and the
// neutral gains at a picked point.
//
// A function that takes a path opens a development handle of its own and
// closes it before it returns. Every function that reaches the shared manager
// pool holds the engine lock for the call (taking it is free when the caller
// already holds it, as the main frame does around its writes); the
// list fillers use private managers and no engine lock. Failures are return
// values: a write that did not happen is never reported as done.
//
// Values that reach the file: the adjustments as "%.4f" of field / 100, the
// colour compensation in the density notation ("0", "10C+5M"), the noise
// strengths as quarter steps x 0.25, the rotation as "%d" in 0..359. Fields
// of a settings record that hold kKVRUnsetValue (or a negative noise step) are
// not written: the file keeps what it had.

#include "foundation/FValueTypes.h"
#include "shell/facade/CKVR_Data_FileList.h"
#include "shell/facade/CKVR_ImageHandle.h"

class CKVR_FilterData;

// Display names of list items: ids of the application's text table.
enum KVRChoiceTextId : int {
    kTextSunlight = 106,
    kTextDaylight = 107,
    kTextShade = 108,
    kTextOvercast = 109,
    kTextIncandescent = 111,
    kTextFluorescent = 113,
    kTextFlash = 114,
    kTextAuto = 115,
    kTextMonochrome = 116,
    kTextOriginal = 117,
    kTextStandard = 122,
    kTextVivid = 123,
    kTextNeutral = 124,
    kTextPortrait = 125,
    kTextLandscape = 126,
    kTextCustom = 132,
};

// The program's own list entry that stands for the camera's choice.
inline constexpr const char* kKVROriginalDescriptor = "Original";

// Turns the file's stored rotation a quarter: clockwise (+90) when direction
// is non-zero, else counter-clockwise. A locked (read-only) file is unlocked
// for the write and locked again afterwards, whatever happened. 1 when the new
// rotation was written; 0 for a missing path, a folder, a file that does not
// open or has no ROTATION, or a refused write.
int KVR_RotateFile(const char16_t* nativePath, int direction);

// 1 and the MARKBITS value when the properties hold it, else 0.
int KVR_GetMarkBits(const CKVR_ImageHandle* handle, int* bits);
int KVR_GetFileMarkBits(const char16_t* nativePath, int* bits);

// Writes the record's adjustments and colour compensation (not its white
// balance, colour mode or noise) into the file; 1 when written.
int KVR_WriteFilterData(CKVR_ImageHandle* handle, const CKVR_FilterData* settings);
int KVR_WriteFileFilterData(const char16_t* nativePath, const CKVR_FilterData* settings);

// Fills the record's adjustments and colour compensation. With autoFlag: the
// handle's automatic values (after running the automatic development first
// when run is set; the callback gets its progress and cancels with 0), 0 when
// the run failed or the handle holds no automatic development. Without: the
// values the file stores (decimal texts rounded to the nearest hundredth);
// each one the file lacks becomes 0 and makes the result 0. m_nAuto becomes
// autoFlag; white balance, colour mode and noise stay.
int KVR_GetFilterData(CKVR_ImageHandle* handle, CKVR_FilterData* settings, int autoFlag, int run,
                      KVRProgressCallback callback, void* user);

// Writes the record's noise steps; the application's cached shooting
// information of the file is dropped. 1 when written.
int KVR_WriteFileNoiseReduction(const char16_t* nativePath, const CKVR_FilterData* settings);

// Writes the colour mode (white balance) the record's index chooses in the
// file's list from the application; "Original" stands for the camera's own.
// 1 when written; 0 when there is nothing to change or on failure. A new
// colour mode also drops the file's cached shooting information.
int KVR_ApplyColorModeToFile(const char16_t* nativePath, const CKVR_FilterData* settings);
int KVR_ApplyWhiteBalanceToFile(const char16_t* nativePath, const CKVR_FilterData* settings);

// Fills the list (emptied first; its path is set whatever happens) with the
// camera's choices for the file and their display names, then the program's
// own: colour modes get "Original" when there is any; white balances get
// "Auto" and "Monochrome" when the camera lacks them, and always "Original".
// 1 when filled; 0 for a missing path, a folder or no reader.
int KVR_FillColorModeList(const char16_t* nativePath, CKVR_Data_FileList<CKVR_CMData>* list);
int KVR_FillWhiteBalanceList(const char16_t* nativePath, CKVR_Data_FileList<CKVR_WBData>* list);

// The list index of the file's CM_DESC (WB_DESC), or with original set of
// CM_DESC_ORIG (WB_DESC_ORIG), descriptors compared byte for byte; -1 when
// the property is missing or not in the list.
int KVR_FindColorModeIndex(const CKVR_ImageHandle* handle, const CKVR_Data_FileList<CKVR_CMData>* list,
                           int original);
int KVR_FindWhiteBalanceIndex(const CKVR_ImageHandle* handle, const CKVR_Data_FileList<CKVR_WBData>* list,
                              int original);
int KVR_GetFileWhiteBalanceIndex(const char16_t* nativePath, const CKVR_Data_FileList<CKVR_WBData>* list,
                                 int original);

// The gains that make the picture neutral at the point (in the developed
// picture's coordinates). 1 and the gains; 0, gains untouched, when the
// managers could not find them.
int KVR_GetNeutralAtPoint(const char16_t* nativePath, int x, int y, FDoubleTriple* gains);
