#pragma once
// The message a data file that is there but cannot be read brings: a box without owner or
// caption, "Error code %ld File name: %s, file size: %llu bytes". Each file is named once a run,
// however many readers fail on it; and the message that spoken guidance is not available, once
// a run for each file that keeps it from being spoken. Safe
// from any thread; the boxes come up on the calling thread.

#include "platform/types.h"

#include <cstdint>
#include <string>

// Shows the box for the file with the error code and size, unless the file was named before in
// this run (names compared as device paths: without letter case, '/' and '\' alike, "." and ".."
// applied, doubled separators as one). The name is shown normalised with the device's '\'
// separators; a name too long for the box loses characters from its middle ("...") so that the
// size stays in the text. False when the box was left out for that reason.
bool ShowFileCheckMessage(const std::u16string& name, DWORD errorCode, std::uint64_t size);

// True when a file was named in this run: data that is there but damaged, not missing.
[[nodiscard]] bool HasNamedFileThisRun();

// The box for a file that is shorter than its layout says, or otherwise other than it: error code
// ERROR_FILE_INVALID and the size of the file as it lies in its folder (0 when it cannot be
// found there, as for a member of an archive).
bool ShowDamagedFileMessage(const std::u16string& name);

// Shows the language library's text textId, with path where it says "%s" (after it when it says
// nothing of the kind), in a message box with the exclamation icon over owner (may be null).
void ShowFileMessage(HWND owner, UINT textId, const std::u16string& path);

// ShowFileMessage, once a run for each text and file: the file (a device
// path) is shown normalised, and a file told with that text before, however spelled, is not
// told again (false).
bool ShowFileMessageOnce(HWND owner, UINT textId, const std::u16string& name);

// The box telling that spoken guidance is not available (or not in full) because the file (a
// device path, shown normalised) is missing or cannot be used whole: text 1404 of the language
// library, no owner, shown once a run for each file however spelled. False when that file was
// told before.
bool ShowSpokenGuidanceMessage(const std::u16string& name);

// The box telling that roundabouts and U-turns in a country are not announced because the line of
// the file (a device path, shown normalised) that gives the country's driving side holds none
// that can be used: text 1407 of the language library with the country, the line in quotes (its
// control characters as "\r", "\n" or "\xNN") and the file; no owner, shown once a run for each
// line of each file. False when that line was told before.
bool ShowDrivingSideMessage(const std::u16string& file, const std::u16string& country,
                            const std::u16string& line);

// Forgets the files named and told so far, as a new run would.
void ForgetFileCheckMessages();
