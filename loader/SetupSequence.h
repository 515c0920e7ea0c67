// The whole set-up, run from the progress dialog's timer.
#pragma once

#include <windows.h>

// The one-shot timer of the progress dialog.
constexpr UINT_PTR kSetupTimerId = 111;
constexpr UINT kSetupTimerDelay = 10;

// Creates the temporary folder, unpacks and calls the archive library,
// closes the dialog, starts Setup.bin, waits for it and deletes the folder.
// Returns only when all is done; failures end the process.
void CALLBACK SetupTimerProc(HWND window, UINT message, UINT_PTR timerId, DWORD time);

// Loads "<TempDir>\bzip2arc.dll" and has it extract the set of volumes
// "<loaderDir>\setup%d.lib" into TempDir, reporting to ExtractProgress and
// RequestDisk. False when the library does not load, lacks ExtractAll or
// fails, or when Cancel was pressed meanwhile; the library is unloaded again
// in every case.
bool ExtractArchiveSet(const char* loaderDir);

// Waits until `programPath` can be deleted (or is gone), pumping messages
// between attempts 2000 ms apart.
void WaitForMainProgram(const char* programPath);
