#pragma once
// A mode for the tests of the pages: it answers every operation of ModeController from its
// script and records each call as one text line ("OnPageCommand(2)", "Deactivate(0)"). The page
// window handed to OnPageCommand is kept apart, since its value differs from run to run.
// User-interface thread only.

#include "app/modeinterface/modecontroller.h"

#include <functional>
#include <string>
#include <vector>

// The answers of a RecordingMode.
struct ModeScript {
    bool hasRecent = false;
    bool hasPersonal = false;
    bool hasMapSpecific = false;
    bool hasGpsFix = false;
    bool isStartSideFailure = false;
    bool hasStops = false;
    bool hasSeveralStops = false;
    bool calculates = true;
    bool hasNextStop = false;
    int logbookResult = 0;
    int failureAnswer = 0;
    // Null: no position record.
    const MatchedPosition* position = nullptr;
    // Run by AddDestinationToList (section, maximum count), when set.
    std::function<void(const std::u16string&, int)> onAddToList;
    // Run by OnPageCommand (code), when set.
    std::function<void(int)> onPageCommand;
};

class RecordingMode final : public ModeController {
public:
    ModeScript script;

    [[nodiscard]] const std::vector<std::string>& Calls() const { return m_calls; }
    void ClearCalls() { m_calls.clear(); }
    // The window given with the last page command; null before one.
    [[nodiscard]] HWND LastCaller() const { return m_lastCaller; }
    // The text last given to SetText.
    [[nodiscard]] const std::u16string& StoredText() const { return m_text; }

    void Activate() override;
    void Deactivate(int arg) override;
    void ShowHelp() override;
    void ForwardMapKey(WPARAM key) override;
    bool CalculateRoute(bool addToRecent) override;
    void AddDestinationToList(const std::u16string& section, int maxCount) override;
    bool HasGpsFix() override;
    void OnPageCommand(int code, HWND callerWindow) override;
    bool HasRecent() override;
    bool HasPersonal() override;
    bool HasMapSpecific(const std::u16string& listFile) override;
    bool HasSeveralStops() override;
    void SetText(const std::u16string& text) override;
    [[nodiscard]] std::u16string GetText() override;
    bool IsStartSideFailure() override;
    void DoNothing() override;
    [[nodiscard]] const MatchedPosition* GetPositionRecord() override;
    bool HasStops() override;
    void SetStopIndex(int index) override;
    int ControlLogbook(HWND window, int stop, int ask) override;
    void ForwardRouteCalcValue(float value) override;
    void RefreshMainPage() override;
    bool NextStop(bool queryOnly) override;
    void DisconnectTrafficEvent() override;
    void StartReceiverReconnect(bool stop) override;
    void ArmServerTimer() override;
    void BuildRouteOptions(ExternalRouteOptions& options) override;
    [[nodiscard]] std::u16string FormatStopText(const DestinationEntry& entry,
                                                bool isStart) override;
    int ReportRouteFailure(int code, const DestinationEntry* entryA, const DestinationEntry* entryB,
                           int index) override;

private:
    void Record(std::string line) { m_calls.push_back(std::move(line)); }

    std::vector<std::string> m_calls;
    HWND m_lastCaller = nullptr;
    std::u16string m_text;
};
