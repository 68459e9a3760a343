#pragma once
// The TMC receiver: reads RDS groups as hexadecimal text from the receiver library's TMC queue,
// a handle or a replay file, decodes them and fires each finished TmcRawMessage on its message
// signal. Run is the reader loop, for a worker thread of its own; the source can be switched
// from any other thread while it runs. The message and status signals fire on that thread.
// While the receiver library is the source with supervision, a TunerSupervisor thread retunes.

#include "positioning/gpstmcadapter.h"
#include "six/countedptr.h"
#include "six/refcntptr.h"
#include "traffic/tmcdecoder.h"
#include "traffic/tmcrawmessage.h"
#include "traffic/tunersupervisor.h"
#include "utilities/usefulcode/critsect.h"
#include "utilities/usefulcode/eventsource.h"

#include "platform/types.h"

#include <atomic>
#include <cstdint>
#include <string>

// Codes of the status signal.
enum class TmcReceiverStatus : std::uint32_t {
    ReplayFileMissing = 3, // the replay file cannot be opened
    ReadFailed = 4,        // a read from the handle failed; the handle was closed
};

// The receiver's signals, each with its own lock.
class TmcReceiverSignals {
public:
    // The finished message, valid during the call.
    using MessageSignal = EventSource<const TmcRawMessage*>;
    using StatusSignal = EventSource<std::uint32_t>;

    TmcReceiverSignals() = default;
    virtual ~TmcReceiverSignals() = default;
    TmcReceiverSignals(const TmcReceiverSignals&) = delete;
    TmcReceiverSignals& operator=(const TmcReceiverSignals&) = delete;

    [[nodiscard]] MessageSignal& GetMessageSignal() noexcept { return m_message; }
    [[nodiscard]] StatusSignal& GetStatusSignal() noexcept { return m_status; }

private:
    MessageSignal m_message;
    StatusSignal m_status;
};

class TmcReceiver : public TmcReceiverSignals {
public:
    // An empty TMC queue is polled again after this long when no replay rate is set: an
    // immediate poll would spin a core while the tuner is silent.
    static constexpr DWORD kIdlePollMs = 10;
    // Wait after a rewind that brought no message (an empty replay file).
    static constexpr DWORD kEmptyRewindMs = 100;
    // Wait before reading again from a receiver library that is not open.
    static constexpr DWORD kLibraryRetryMs = 5000;
    static constexpr int kReadSize = 8;

    explicit TmcReceiver(std::u16string settingsFile);
    // Closes the handle, stops the supervisor, drops the tuner and the source, closes the log.
    ~TmcReceiver() override;

    // The reader loop; returns when Stop is called.
    virtual void Run();
    virtual void Stop();
    // Closes any open raw log and opens path with mode "w+b"; every byte read goes there.
    virtual bool OpenRawLog(const std::u16string& path);
    virtual void CloseRawLog();
    // Reads from handle (the receiver takes it over and closes it) instead of the current
    // source; stops the supervisor.
    virtual void AttachHandle(HANDLE handle);
    // Replays path, repeated without end; false (and status 3) when it cannot be opened. A file
    // of which a whole pass gives no RDS group the decoder reads is closed after that pass, not
    // read again.
    virtual bool OpenReplayFile(const std::u16string& path);
    // Moves the file read to offset bytes from its start; false, the position kept, without a
    // file (a port, the receiver library) or for an offset past the file's end as it is now.
    [[nodiscard]] virtual bool SetFilePosition(DWORD offset);
    // INVALID_SET_FILE_POINTER without a file.
    [[nodiscard]] virtual DWORD GetFilePosition();
    // Bytes in the file read (a replay file or an attached file); 0 without one (a port, the
    // receiver library), MAXDWORD for a file of 4 GiB or more.
    [[nodiscard]] virtual DWORD GetFileLength();
    // Reads the receiver library's TMC queue; supervise starts the tuner supervisor.
    virtual void UseReceiverLibrary(bool supervise);
    // Messages per second for pacing; 0 = no pacing.
    virtual void SetReplayRate(float rate);
    [[nodiscard]] virtual float GetReplayRate();

    [[nodiscard]] const std::u16string& GetSettingsFile() const noexcept { return m_settingsFile; }
    [[nodiscard]] TunerSupervisor& GetSupervisor() noexcept { return m_supervisor; }
    // True while Run waits on the clock or for a source (for tests on a virtual clock).
    [[nodiscard]] bool IsWaiting() const;
    // Reads from the current source so far and the tick of the last one (for tests).
    struct ReadStats {
        std::uint32_t count = 0;
        DWORD lastTick = 0;
    };
    [[nodiscard]] ReadStats GetReadStats() const;

private:
    // Ended: the handle's input ended (its read gave nothing).
    enum class Step { Continue, Stopped, Ended };

    Step ReadFromLibrary(char* buffer, int& count);
    Step ReadFromHandle(char* buffer, int& count);
    void CountRead();
    Step DecodeAndFire(const char* buffer, int count, DWORD& lastMessageTick);
    // Paced by the replay rate, fires the decoder's ready message.
    Step FireReady(DWORD& lastMessageTick);
    // After the handle's input ended: rewinds a file that gave a group in its pass, closes a
    // replay file that gave none.
    Step EndPass(DWORD& lastMessageTick);
    void DropSource();
    [[nodiscard]] bool WaitForStop(DWORD ms) const;

    CritSect m_lock;
    CritSect m_rateLock;
    float m_replayRate = 0.0F;
    HANDLE m_changeEvent = nullptr;
    HANDLE m_stopEvent = nullptr;
    HANDLE m_handle; // INVALID_HANDLE_VALUE when none
    std::u16string m_settingsFile;
    TmcDecoder m_decoder;
    TunerSupervisor m_supervisor;
    CountedPtr<GpsTmcAdapter> m_source;
    // Under m_lock: m_handle is a replay file (OpenReplayFile); the pass of it read so far
    // started at its beginning; the number of source switches so far.
    bool m_isReplayFile = false;
    bool m_isPassWhole = true;
    std::uint32_t m_handleNumber = 0;
    // The reader thread's: the switch whose handle it reads, the groups counted before its pass.
    std::uint32_t m_readHandleNumber = 0;
    std::uint64_t m_groupsBeforePass = 0;
    bool m_hasMessageSinceRewind = false; // reader thread only
    std::atomic<std::uint32_t> m_readCount{0};
    std::atomic<DWORD> m_lastReadTick{0};
};

// A receiver with the settings file name "TMC.ini" (stored, never read); null when out of
// memory.
[[nodiscard]] six::RefCntPtr<TmcReceiver> CreateTmcReceiver();
