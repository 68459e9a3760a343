#pragma once
// The interface through which the pages talk to the mode that owns them (navigation, tour or
// moving map). Pages never show one another; they hand page commands and questions to their
// mode through these operations. User-interface thread only.

#include "app/modeinterface/destinationtypes.h"
#include "positioning/matchedposition.h"
#include "routing/routeoptions.h"

#include "platform/types.h"

#include <string>

class ModeController {
public:
    virtual ~ModeController() = default;

    // Shows the mode's main page.
    virtual void Activate() = 0;
    // Closes the mode; arg is handed to the main window (1: apply the preferences).
    virtual void Deactivate(int arg) = 0;
    virtual void ShowHelp() = 0;
    virtual void ForwardMapKey(WPARAM key) = 0;
    virtual bool CalculateRoute(bool addToRecent) = 0;
    // Adds the composed destination to a stored list of at most maxCount entries.
    virtual void AddDestinationToList(const std::u16string& section, int maxCount) = 0;
    virtual bool HasGpsFix() = 0;
    // A page asks for something by its code; callerWindow is the page's window.
    virtual void OnPageCommand(int code, HWND callerWindow) = 0;
    virtual bool HasRecent() = 0;
    virtual bool HasPersonal() = 0;
    virtual bool HasMapSpecific(const std::u16string& listFile) = 0;
    virtual bool HasSeveralStops() = 0;
    virtual void SetText(const std::u16string& text) = 0;
    [[nodiscard]] virtual std::u16string GetText() = 0;
    // Whether the failing point of the last route request was its start.
    virtual bool IsStartSideFailure() = 0;
    virtual void DoNothing() = 0;
    // The current position (matched element and point); null when the mode has none.
    [[nodiscard]] virtual const MatchedPosition* GetPositionRecord() = 0;
    virtual bool HasStops() = 0;
    virtual void SetStopIndex(int index) = 0;
    // Runs the logbook's trip dialog over window; returns its result.
    virtual int ControlLogbook(HWND window, int stop, int ask) = 0;
    // Hands a value of the options page on to the route calculation page.
    virtual void ForwardRouteCalcValue(float value) = 0;
    virtual void RefreshMainPage() = 0;
    virtual bool NextStop(bool queryOnly) = 0;
    virtual void DisconnectTrafficEvent() = 0;
    virtual void StartReceiverReconnect(bool stop) = 0;
    virtual void ArmServerTimer() = 0;
    // Fills the route options from the options page's choices.
    virtual void BuildRouteOptions(ExternalRouteOptions& options) = 0;
    [[nodiscard]] virtual std::u16string FormatStopText(const DestinationEntry& entry,
                                                        bool isStart) = 0;
    virtual int ReportRouteFailure(int code, const DestinationEntry* entryA,
                                   const DestinationEntry* entryB, int index) = 0;
};
