#pragma once
// The process-wide voice output: null until the main menu window sets it, released once when
// the process ends. User-interface thread.

#include "advisor/voiceoutput.h"

void SetVoiceOutput(six::RefCntPtr<IVoiceOutput> voice);
[[nodiscard]] six::RefCntPtr<IVoiceOutput> GetVoiceOutput();
