#include "Globals.h"

char TempDir[kPathCapacity];
HWND DialogHandle;
bool CancelRequested;
