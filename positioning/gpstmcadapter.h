#pragma once
// The adapter of the receiver library "gpstmc.dll" (a GPS receiver with an FM/RDS/TMC tuner):
// opens, closes and tunes it, reports tuner state as signals, and keeps two byte queues for the
// reader threads: RDS groups as hexadecimal lines ("%04X%04X%04X%04X\n") and the raw NMEA
// sentences. Make it on the user-interface thread: its hidden window "GNS" receives the
// library's messages there, and the signals fire there. Every operation is safe from any
// thread; no lock is held during a library call.

#include "positioning/detail/linequeue.h"
#include "positioning/receiversignals.h"
#include "six/countedptr.h"
#include "utilities/usefulcode/critsect.h"
#include "utilities/usefulcode/windowhandle.h"

#include "platform/receiver/gpstmc.h"

#include <atomic>
#include <mutex>
#include <string>

class GpsTmcAdapter : public ReceiverNotificationSignals {
public:
    // Each queue keeps at most this many bytes; older whole lines give way.
    static constexpr std::size_t kQueueCapBytes = std::size_t{64} * 1024;
    // The last Init's result before the first one.
    static constexpr int kNeverOpened = -1;

    // Creates the hidden window and loads the library; when it is missing or lacks one of its
    // thirteen entry points the adapter stays "not loaded": every operation answers 0 and the
    // readers -1.
    GpsTmcAdapter();

    // 0 when not loaded or not open; otherwise forgets the remembered frequency, station and
    // name and returns the library's answer to the tuner command (1 tune, 0 refresh, 48 search).
    virtual int Tune(int command, int value);
    // The remembered frequency after a refresh request; the refresh is answered by message, so
    // on the thread that handles the messages this is 0. 0 when not loaded or not open.
    virtual DWORD GetCurrentFrequency();
    // The library's frequency (0.1 MHz), remembered; 0 when not loaded or not open.
    virtual DWORD ReadTunerFrequency();
    // 2 = TMC received, 1 = acquiring, 0 = none (also when not loaded or not open).
    virtual int GetTmcHealth();
    // RDS reception quality (below 3 is poor); 0 when not loaded or not open.
    virtual int GetRdsHealth();
    // Closes the receiver, unloads the library and destroys the window.
    ~GpsTmcAdapter() override;
    // Stores the values (frequency becomes the open frequency), starts the library on port
    // (flag adds its logging bit) and tunes frequency, or 880 for 0. True when open.
    virtual bool Open(int port, int rate, bool flag, int frequency);
    // The file that keeps the library from giving positions since the last Open: its scenario
    // ("gpstmc.ini" beside the library's file) or a file it names that is missing or cannot be
    // read, a scenario with a bad value, and on port 0 a replay file without an NMEA cycle or a
    // scenario that names none; empty otherwise and before the first Open.
    [[nodiscard]] std::u16string GetUnusableScenarioFile() const;
    // Stops the library when open. The alive flag stays.
    virtual void Close();
    // Close, then Open with the stored values and the open frequency (the last station reported
    // with TMC); false before the first Open.
    virtual bool Reopen();
    // Moves up to capacity bytes from the front of the TMC queue into buffer; -1 while the
    // receiver is not alive (never opened successfully, or its last Open failed).
    virtual int ReadTmc(char* buffer, int capacity);
    // The same for the NMEA queue.
    virtual int ReadNmea(char* buffer, int capacity);

    // The process-wide adapter, made on first use (on the user-interface thread).
    [[nodiscard]] static CountedPtr<GpsTmcAdapter> Instance();

    [[nodiscard]] OwnerHandlerList& GetOwnerHandlerList() noexcept { return m_handlers; }
    // The hidden window "GNS".
    [[nodiscard]] HWND GetWindow() const noexcept { return m_window.window; }

private:
    struct Library {
        HMODULE module = nullptr;
        platform::GpsTmcInitFunction init = nullptr;
        platform::GpsTmcUninitFunction uninit = nullptr;
        platform::GpsTmcControlTunerFunction controlTuner = nullptr;
        platform::GpsTmcGetTunerFrequencyFunction getTunerFrequency = nullptr;
        platform::GpsTmcGetRdsStationFunction getRdsStation = nullptr;
        platform::GpsTmcGetRdsAfFunction getRdsAf = nullptr;
        platform::GpsTmcGetHealthFunction getRdsHealth = nullptr;
        platform::GpsTmcGetRadiotextFunction getRadiotext = nullptr;
        platform::GpsTmcGetRdsTimeFunction getRdsTime = nullptr;
        platform::GpsTmcReadRawFunction readRawGga = nullptr;
        platform::GpsTmcReadRawFunction readRawVtg = nullptr;
        platform::GpsTmcReadRawFunction readRawRmc = nullptr;
        platform::GpsTmcGetHealthFunction getTmcHealth = nullptr;
    };
    struct Queue {
        CritSect lock;
        LineQueue bytes{kQueueCapBytes};
    };

    void LoadReceiverLibrary();
    [[nodiscard]] bool IsLoaded() const noexcept { return m_library.module != nullptr; }
    [[nodiscard]] bool IsUsable() const noexcept { return IsLoaded() && m_isOpen.load(); }
    int Read(Queue& queue, char* buffer, int capacity);

    void OnFrequencyChanged(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result,
                            bool* handled);
    void OnNotification(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result, bool* handled);
    void OnRdsGroup(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result, bool* handled);
    void OnRadiotext(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result, bool* handled);
    void OnStation(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result, bool* handled);
    void OnAlternativeFrequencies(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result,
                                  bool* handled);
    void OnNmea(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result, bool* handled);

    OwnerHandlerList m_handlers; // before the window, so the window goes first
    WindowHandle m_window;
    Library m_library; // set in the constructor, cleared only by the destructor

    std::atomic<DWORD> m_frequency{0};
    std::atomic<DWORD> m_stationId{0};
    std::mutex m_textLock; // guards the two texts only
    std::u16string m_stationName;
    std::u16string m_radiotext;
    std::atomic<bool> m_isOpen{false};
    std::atomic<int> m_lastInitResult{kNeverOpened};
    std::atomic<bool> m_isAlive{false};
    Queue m_tmc;
    Queue m_nmea;
    std::atomic<int> m_port{-1};
    std::atomic<int> m_rate{-1};
    std::atomic<int> m_openFrequency{-1};
    std::atomic<int> m_flag{0};
};
