// What the archive library calls back during the extraction.
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/bzip2arc.h"

// Moves the progress bar, keeps the dialog alive and answers Cancel.
void BZ2ARC_CALL ExtractProgress(int32_t percent, int32_t bytes, int32_t* cancel);

// Asks for the disk that holds the missing volume; Cancel there cancels the
// set-up (CancelSetup), and every later progress report answers it.
void BZ2ARC_CALL RequestDisk(uint8_t volume);

// "Please insert disk no. #<volume>!"
void FormatDiskPrompt(uint8_t volume, char* text, std::size_t capacity);
