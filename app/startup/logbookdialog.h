#pragma once
// The logbook's dialogs on the main window: starting, checkpoints and stopping a trip
// (RunLogbookDialog), and at quit the hand-over of the logbook to the external converter program
// (RunLogbookConversion, LogbookConverter). User-interface thread only.

#include "app/startup/logbook.h"

#include "platform/types.h"
#include "platform/window/windowtypes.h"

#include <string>

// The questions the logbook asks; the skinned dialogs by default, a script in tests.
class LogbookDialogs {
public:
    // Language-library texts.
    static constexpr UINT kPurposeText = 1123;
    static constexpr UINT kStopQuestion = 1172;
    static constexpr UINT kStopCommand = 1124;
    static constexpr UINT kCheckpointCommand = 1125;
    static constexpr UINT kConverterStarted = 1183;
    static constexpr UINT kConverterFailed = 1184;
    static constexpr UINT kConverterInputMissing = 1185;

    struct Answer {
        INT_PTR ended = 0;   // what the dialog ended with
        int command = 0;     // the command the dialog recorded last
        std::u16string text; // the text typed
    };

    virtual ~LogbookDialogs() = default;
    // ValueDlg with the purpose question and the soft input panel switched on while it runs.
    virtual Answer AskPurpose(HWND owner);
    // ValueDlg1 (continue, stop, checkpoint, cancel), the soft input panel on while it runs.
    virtual Answer AskCheckpoint(HWND owner);
    // StopLogDlg with the stop question; true for OK.
    virtual bool ConfirmStop(HWND owner);
    // A message of section "ConvExcelInfo" with "<@>" replaced by insert.
    virtual void ShowConverterMessage(HWND owner, UINT textId, const std::u16string& insert);
};

// Starts, checks or stops the trip (end: stop wanted; interactive: ask the user) and returns
// whether the logbook runs afterwards. A call while a trip runs marks the logbook as used.
// position and engine give the address of the lines; either may be null.
bool RunLogbookDialog(Logbook& logbook, LogbookDialogs& dialogs, HWND owner, bool end,
                      bool interactive, const MatchedPosition* position,
                      RetrievalEngine::IRetrievalEngine* engine);

// The converter process: a new start ends the one started before, and so does the destructor
// when it still runs.
class LogbookConverter {
public:
    LogbookConverter() = default;
    ~LogbookConverter();
    LogbookConverter(const LogbookConverter&) = delete;
    LogbookConverter& operator=(const LogbookConverter&) = delete;

    // Starts AppPaths::GetConverterPath() without arguments; false when the shell refuses.
    [[nodiscard]] bool Run(HWND owner);

private:
    void End();

    HANDLE m_process = nullptr;
};

// The converter's input file: the "In" value itself, unless it is empty or begins with '.';
// then the executable's folder (up to its last '\' or '/') followed by the value's name part, or
// by "Fahrtenbuch.txt" when the value is empty.
[[nodiscard]] std::u16string ResolveConverterInput(const std::u16string& inValue,
                                                   const std::u16string& executablePath);

// The conversion at quit: the input named by "In" of section "File" of "Vaza2Dazav.ini" (read
// only) must open for reading (else message 1185); then the converter starts (message 1183 with
// the documents folder) or fails (1184).
void RunLogbookConversion(HWND mainWindow, LogbookDialogs& dialogs, LogbookConverter& converter);
