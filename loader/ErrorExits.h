// The loader's way of ending after a failure, with exit code 0.
#pragma once

// Shows `message`, deletes the temporary folder (telling the user if that
// fails) and ends the process.
[[noreturn]] void InitErrorExit(const char* message);
