#include "app/startup/voicepointer.h"

namespace {

// Destroyed, and so released, when the process ends.
six::RefCntPtr<IVoiceOutput>& VoicePointer() {
    static six::RefCntPtr<IVoiceOutput> voice;
    return voice;
}

} // namespace

void SetVoiceOutput(six::RefCntPtr<IVoiceOutput> voice) {
    VoicePointer() = std::move(voice);
}

six::RefCntPtr<IVoiceOutput> GetVoiceOutput() {
    return VoicePointer();
}
