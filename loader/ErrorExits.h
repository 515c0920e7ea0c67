// The loader's ways of ending after a failure. Both end the process with
// exit code 0 and never return.
#pragma once

// Deletes the temporary folder (telling the user if that fails) and ends.
[[noreturn]] void CleanUpAndExit();

// Shows `message`, then CleanUpAndExit.
[[noreturn]] void InitErrorExit(const char* message);
