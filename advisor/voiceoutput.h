#pragma once
// Spoken output: texts of bracketed phrase keys ("[Attention] [DestinationInPedestrianZone]")
// are spoken by playing one sample "<Key>.wav" per key, in order, from the voice archive
// "<language>_waves.sfs". Saying never blocks: a player thread of the voice output plays the
// queued samples one at a time. Every operation is safe from any thread.

#include "six/refcntptr.h"

#include <string>
#include <vector>

class IVoiceOutput {
public:
    virtual ~IVoiceOutput() = default;

    // Mounts folder + prefix + "_waves.sfs" (a "\" is put after a folder that lacks one) and
    // starts the player. False for an empty folder, an archive that cannot be mounted, no sample
    // buffer or no thread (then there is no player), and while a player exists already.
    [[nodiscard]] virtual bool Init(const std::u16string& folder, const std::u16string& prefix) = 0;
    virtual int ReservedSlot3() { return 0; }
    // Queues the text's samples and returns at once; false when there is no player.
    virtual bool Say(const std::u16string& text) = 0;
    // "OK" when there is no player, "Not OK" while one exists.
    [[nodiscard]] virtual const char* GetStatusText() const = 0;
    // Drops every queued sample that has not started; the one playing plays to its end. False
    // when there is no player.
    virtual bool Stop() = 0;
    virtual int ReservedSlot7() { return 0; }
    // Plays what is queued, ends the player thread and destroys the player. False when there is
    // no player.
    virtual bool Shutdown() = 0;
    virtual int ReservedSlot9() { return 0; }
    virtual int ReservedSlot10() { return 0; }
    virtual int ReservedSlot11() { return 0; }
    virtual int ReservedSlot12() { return 0; }

protected:
    IVoiceOutput() = default;
    IVoiceOutput(const IVoiceOutput&) = default;
    IVoiceOutput& operator=(const IVoiceOutput&) = default;
};

// The voice archive Init mounts: folder + prefix + "_waves.sfs", with a "\" put after a folder
// that lacks one.
[[nodiscard]] std::u16string VoiceArchivePath(const std::u16string& folder,
                                              const std::u16string& prefix);

// A new voice output without a player; null when it cannot be allocated.
[[nodiscard]] six::RefCntPtr<IVoiceOutput> CreateVoiceOutput();

// The sample file names of a spoken text: blanks trimmed from both ends, the text cut at every
// "]" (up to the first empty piece), each piece without its leading blanks and its first
// character (the opening bracket), followed by ".wav". A piece of blanks gives no name.
[[nodiscard]] std::vector<std::u16string> SplitPhraseKeys(const std::u16string& text);
