#pragma once
// The message a data file that is there but cannot be read brings: a box without owner or
// caption, "Error code %ld File name: %s, file size: %d bytes". Each file is named once a run,
// however many readers fail on it. Safe from any thread; the box comes up on the calling thread.

#include "platform/types.h"

#include <string>

// Shows the box for the file with the error code and size, unless the file was named before in
// this run (names compared without letter case, '/' and '\' alike). The name is shown with the
// device's '\' separators. False when the box was left out for that reason.
bool ShowFileCheckMessage(const std::u16string& name, DWORD errorCode, DWORD size);

// The box for a file that is shorter than its layout says, or otherwise other than it: error code
// ERROR_FILE_INVALID and the size of the file as it lies in its folder (0 when it cannot be
// found there, as for a member of an archive).
bool ShowDamagedFileMessage(const std::u16string& name);

// Forgets the files named so far, as a new run would.
void ForgetFileCheckMessages();
