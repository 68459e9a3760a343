#pragma once
// The GPS source that reads an open handle (a file or a port), a replay file (repeated without
// end, paced to the receiver's rate) or the receiver library's sentence queue, on the GPS
// manager's device thread. Sources may be switched from any thread while Run reads; Run notices
// the switch at its next pass.

#include "positioning/gpsdevice.h"
#include "positioning/gpstmcadapter.h"
#include "positioning/sentenceparser.h"
#include "six/countedptr.h"
#include "six/refcntptr.h"
#include "utilities/usefulcode/critsect.h"

#include "platform/types.h"

#include <string>

class GpsReceiver : public GpsDevice {
public:
    // Milliseconds Run rests after a rewind that produced no fix since the one before.
    static constexpr DWORD kIdleRewindMs = 100;
    // Bytes Run reads at a time.
    static constexpr DWORD kReadChunk = 32;

    // Loads the protocol named by key "GPS" of section "Default GPS" (default "NMEA").
    explicit GpsReceiver(const std::u16string& settingsPath);
    ~GpsReceiver() override;

    // Reads, parses and publishes fixes until Stop. Without a source it waits for one.
    void Run() override;
    // Ends one wait of Run (the stop event resets when it releases it).
    void Stop() override;
    virtual void SetSentenceRate(float sentencesPerSecond);
    [[nodiscard]] virtual float GetSentenceRate();
    // Writes every byte read to path ("w+b"); false when it cannot be opened.
    virtual bool OpenRawLog(const std::u16string& path);
    virtual void CloseRawLog();
    // Takes the handle as the source (paced at 2 sentences a second) and closes it later.
    virtual void AttachHandle(HANDLE handle);
    // Opens path as the source, paced at 2 sentences a second; status 3 when it cannot.
    virtual void OpenReplayFile(const std::u16string& path);
    // Reads the receiver library's queue, unpaced.
    virtual void UseReceiverLibrary();
    // True while its source is a replay file or an attached handle, not the receiver library.
    [[nodiscard]] virtual bool IsReadingHandle();
    // Moves the file read to offset bytes from its start; false, the position kept, without a
    // file (a port, the receiver library) or for an offset past the file's end as it is now.
    [[nodiscard]] virtual bool SetFilePosition(DWORD offset);
    // INVALID_SET_FILE_POINTER without a file.
    [[nodiscard]] virtual DWORD GetFilePosition();
    // Bytes in the file read (a replay file or an attached file); 0 without one (a port, the
    // receiver library), MAXDWORD for a file of 4 GiB or more.
    [[nodiscard]] virtual DWORD GetFileLength();
    // Appends the sentences that describe the fix.
    virtual void FormatFix(const GpsFix& fix, std::u16string& out);

    [[nodiscard]] SentenceParser& GetParser() noexcept { return m_parser; }

private:
    void CloseCurrentHandle();
    // One read from the handle: the byte count, 0 at the end of the data, -1 on failure.
    [[nodiscard]] int ReadHandle(char* buffer, bool& isAtEnd);
    // Publishes every completed cycle's fix in order, each after its pacing delay counted from
    // lastFixTick (then updated); false when stopped during a wait.
    [[nodiscard]] bool PublishCompletedCycles(GpsFix& fix, DWORD& lastFixTick, bool& hasPublished);

    CritSect m_lock; // guards the handle and the source object
    HANDLE m_changeEvent = nullptr;
    HANDLE m_stopEvent = nullptr;
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    std::u16string m_settingsPath;
    SentenceParser m_parser;
    CountedPtr<GpsTmcAdapter> m_source;
};

using GpsReceiverPtr = six::RefCntPtr<GpsReceiver>;

// Null when the receiver cannot be allocated.
[[nodiscard]] GpsReceiverPtr CreateGpsReceiver(const std::u16string& settingsPath);
