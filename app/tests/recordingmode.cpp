#include "app/tests/recordingmode.h"

#include <string>

namespace {

std::string Narrow(const std::u16string& text) {
    std::string narrow;
    for (const char16_t c : text) {
        narrow += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return narrow;
}

std::string Flag(bool value) {
    return value ? "1" : "0";
}

} // namespace

void RecordingMode::Activate() {
    Record("Activate()");
}

void RecordingMode::Deactivate(int arg) {
    Record("Deactivate(" + std::to_string(arg) + ")");
}

void RecordingMode::ShowHelp() {
    Record("ShowHelp()");
}

void RecordingMode::ForwardMapKey(WPARAM key) {
    Record("ForwardMapKey(" + std::to_string(key) + ")");
}

bool RecordingMode::CalculateRoute(bool addToRecent) {
    Record("CalculateRoute(" + Flag(addToRecent) + ")");
    return script.calculates;
}

void RecordingMode::AddDestinationToList(const std::u16string& section, int maxCount) {
    Record("AddDestinationToList(" + Narrow(section) + ", " + std::to_string(maxCount) + ")");
    if (script.onAddToList) {
        script.onAddToList(section, maxCount);
    }
}

bool RecordingMode::HasGpsFix() {
    Record("HasGpsFix()");
    return script.hasGpsFix;
}

void RecordingMode::OnPageCommand(int code, HWND callerWindow) {
    Record("OnPageCommand(" + std::to_string(code) + ")");
    m_lastCaller = callerWindow;
    if (script.onPageCommand) {
        script.onPageCommand(code);
    }
}

bool RecordingMode::HasRecent() {
    Record("HasRecent()");
    return script.hasRecent;
}

bool RecordingMode::HasPersonal() {
    Record("HasPersonal()");
    return script.hasPersonal;
}

bool RecordingMode::HasMapSpecific(const std::u16string& listFile) {
    Record("HasMapSpecific(" + Narrow(listFile) + ")");
    return script.hasMapSpecific;
}

bool RecordingMode::HasSeveralStops() {
    Record("HasSeveralStops()");
    return script.hasSeveralStops;
}

void RecordingMode::SetText(const std::u16string& text) {
    Record("SetText(" + Narrow(text) + ")");
    m_text = text;
}

std::u16string RecordingMode::GetText() {
    Record("GetText()");
    return m_text;
}

bool RecordingMode::IsStartSideFailure() {
    Record("IsStartSideFailure()");
    return script.isStartSideFailure;
}

void RecordingMode::DoNothing() {
    Record("DoNothing()");
}

const MatchedPosition* RecordingMode::GetPositionRecord() {
    Record("GetPositionRecord()");
    return script.position;
}

bool RecordingMode::HasStops() {
    Record("HasStops()");
    return script.hasStops;
}

void RecordingMode::SetStopIndex(int index) {
    Record("SetStopIndex(" + std::to_string(index) + ")");
}

int RecordingMode::ControlLogbook(HWND, int stop, int ask) {
    Record("ControlLogbook(" + std::to_string(stop) + ", " + std::to_string(ask) + ")");
    return script.logbookResult;
}

void RecordingMode::ForwardRouteCalcValue(float value) {
    Record("ForwardRouteCalcValue(" + std::to_string(value) + ")");
}

void RecordingMode::RefreshMainPage() {
    Record("RefreshMainPage()");
}

bool RecordingMode::NextStop(bool queryOnly) {
    Record("NextStop(" + Flag(queryOnly) + ")");
    return script.hasNextStop;
}

void RecordingMode::DisconnectTrafficEvent() {
    Record("DisconnectTrafficEvent()");
}

void RecordingMode::StartReceiverReconnect(bool stop) {
    Record("StartReceiverReconnect(" + Flag(stop) + ")");
}

void RecordingMode::ArmServerTimer() {
    Record("ArmServerTimer()");
}

void RecordingMode::BuildRouteOptions(ExternalRouteOptions&) {
    Record("BuildRouteOptions()");
}

std::u16string RecordingMode::FormatStopText(const DestinationEntry& entry, bool isStart) {
    Record("FormatStopText(" + Narrow(entry.name) + ", " + Flag(isStart) + ")");
    return entry.name;
}

int RecordingMode::ReportRouteFailure(int code, const DestinationEntry*, const DestinationEntry*,
                                      int index) {
    Record("ReportRouteFailure(" + std::to_string(code) + ", " + std::to_string(index) + ")");
    return script.failureAnswer;
}
