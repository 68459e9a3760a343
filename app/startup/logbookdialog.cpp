#include "app/startup/logbookdialog.h"

#include "ui/messagedialogs.h"
#include "ui/shellhelpers.h"
#include "utilities/usefulcode/apppaths.h"
#include "utilities/usefulcode/iniprofile.h"

#include "platform/files/files.h"
#include "platform/files/stdio.h"
#include "platform/kernel/sync.h"
#include "platform/shell/modulepath.h"
#include "platform/shell/process.h"
#include "platform/shell/specialfolder.h"
#include "platform/window/shell.h"
#include "platform/window/windowtypes.h"

namespace {

constexpr char16_t kConverterSettings[] = u"Vaza2Dazav.ini";
constexpr char16_t kMessageSection[] = u"ConvExcelInfo";
constexpr char16_t kDefaultInput[] = u"Fahrtenbuch.txt";
constexpr DWORD kMaxPath = 260;

// Removes a wait cursor left by the caller.
void RemoveWaitCursor() {
    const HCURSOR wait = LoadCursorW(nullptr, MAKEINTRESOURCEW(IDC_WAIT));
    if (GetCursor() == wait) {
        (void)SetCursor(nullptr);
    }
}

void WriteStop(Logbook& logbook, const MatchedPosition* position,
               RetrievalEngine::IRetrievalEngine* engine, const std::u16string& purpose) {
    logbook.WriteEntry(position, engine, false, purpose, LoadDialogString(Logbook::kStopLabel, 128),
                       true);
    logbook.SetRunning(false);
}

LogbookDialogs::Answer RunValueDialog(ValueDlg& dialog, HWND owner) {
    (void)ShowInputPanel(true);
    LogbookDialogs::Answer answer;
    answer.ended = dialog.DoModal(owner);
    (void)ShowInputPanel(false);
    answer.command = dialog.GetResult();
    answer.text = dialog.GetValue();
    return answer;
}

} // namespace

LogbookDialogs::Answer LogbookDialogs::AskPurpose(HWND owner) {
    ValueDlg dialog(kPurposeText, std::u16string());
    return RunValueDialog(dialog, owner);
}

LogbookDialogs::Answer LogbookDialogs::AskCheckpoint(HWND owner) {
    ValueDlg1 dialog(true, kPurposeText, std::u16string());
    return RunValueDialog(dialog, owner);
}

bool LogbookDialogs::ConfirmStop(HWND owner) {
    StopLogDlg dialog(kStopQuestion);
    return dialog.DoModal(owner) == 1;
}

void LogbookDialogs::ShowConverterMessage(HWND owner, UINT textId, const std::u16string& insert) {
    MsgBox box(textId, insert, kMessageSection);
    (void)box.DoModal(owner);
}

bool RunLogbookDialog(Logbook& logbook, LogbookDialogs& dialogs, HWND owner, bool end,
                      bool interactive, const MatchedPosition* position,
                      RetrievalEngine::IRetrievalEngine* engine) {
    RemoveWaitCursor();
    if (!logbook.IsRunning()) {
        if (end) {
            return false;
        }
        const LogbookDialogs::Answer answer = dialogs.AskPurpose(owner);
        if (answer.ended != 1) {
            return false;
        }
        logbook.Reset();
        logbook.WriteEntry(position, engine, false, answer.text, Logbook::StartPrefix(), false);
        logbook.SetRunning(true);
        return true;
    }
    logbook.MarkUsed();
    if (!interactive) {
        if (end) {
            WriteStop(logbook, position, engine, std::u16string());
        } else {
            logbook.SetRunning(false);
        }
        return false;
    }
    if (end) {
        if (!dialogs.ConfirmStop(owner)) {
            return true;
        }
        WriteStop(logbook, position, engine, std::u16string());
        return false;
    }
    const LogbookDialogs::Answer answer = dialogs.AskCheckpoint(owner);
    if (answer.ended == LogbookDialogs::kStopCommand) {
        WriteStop(logbook, position, engine, answer.text);
        return false;
    }
    if (answer.ended == LogbookDialogs::kCheckpointCommand ||
        answer.command == LogbookDialogs::kCheckpointCommand) {
        logbook.WriteEntry(position, engine, false, answer.text,
                           LoadDialogString(Logbook::kCheckpointLabel, 128), true);
        logbook.WriteStatusEntry(position, engine);
    }
    return true;
}

LogbookConverter::~LogbookConverter() {
    End();
}

void LogbookConverter::End() {
    if (m_process == nullptr) {
        return;
    }
    if (WaitForSingleObject(m_process, 0) != WAIT_OBJECT_0) {
        (void)TerminateProcess(m_process, 0);
    }
    (void)CloseHandle(m_process);
    m_process = nullptr;
}

bool LogbookConverter::Run(HWND owner) {
    End();
    const std::u16string program = AppPaths::GetConverterPath();
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.hwnd = owner;
    info.lpVerb = u"open";
    info.lpFile = program.c_str();
    info.nShow = SW_SHOW;
    if (ShellExecuteExW(&info) == FALSE) {
        return false;
    }
    m_process = info.hProcess;
    return true;
}

std::u16string ResolveConverterInput(const std::u16string& inValue,
                                     const std::u16string& executablePath) {
    if (!inValue.empty() && inValue.front() != u'.') {
        return inValue;
    }
    const std::size_t folderEnd = executablePath.find_last_of(u"\\/");
    const std::u16string folder = folderEnd == std::u16string::npos
                                      ? std::u16string()
                                      : executablePath.substr(0, folderEnd + 1);
    if (inValue.empty()) {
        return folder + kDefaultInput;
    }
    const std::size_t nameStart = inValue.find_last_of(u"\\/");
    return folder + (nameStart == std::u16string::npos ? inValue : inValue.substr(nameStart + 1));
}

void RunLogbookConversion(HWND mainWindow, LogbookDialogs& dialogs, LogbookConverter& converter) {
    RemoveWaitCursor();
    // The converter's settings are read only: a missing file is not created.
    const std::u16string settings = AppPaths::MakeFullPath(kConverterSettings);
    std::u16string inValue;
    if (GetFileAttributesW(settings.c_str()) != INVALID_FILE_ATTRIBUTES) {
        inValue = IniProfile::GetString(u"File", u"In", settings.c_str(), u"");
    }
    WCHAR executable[kMaxPath] = {};
    (void)GetModuleFileNameW(nullptr, executable, kMaxPath);
    const std::u16string input = ResolveConverterInput(inValue, executable);
    NavFile* file = _wfopen(input.c_str(), u"r");
    if (file == nullptr) {
        dialogs.ShowConverterMessage(mainWindow, LogbookDialogs::kConverterInputMissing, u"");
        return;
    }
    (void)fclose(file);
    if (!converter.Run(mainWindow)) {
        dialogs.ShowConverterMessage(mainWindow, LogbookDialogs::kConverterFailed, u"");
        return;
    }
    WCHAR documents[kMaxPath] = {};
    if (SHGetSpecialFolderPathW(mainWindow, documents, CSIDL_PERSONAL, FALSE) == FALSE) {
        documents[0] = 0;
    }
    dialogs.ShowConverterMessage(mainWindow, LogbookDialogs::kConverterStarted, documents);
}
