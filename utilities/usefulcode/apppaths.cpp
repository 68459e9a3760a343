#include "utilities/usefulcode/apppaths.h"

#include "utilities/usefulcode/iniprofile.h"

#include "platform/kernel/format.h"
#include "platform/kernel/text.h"
#include "platform/kernel/time.h"
#include "platform/shell/modulepath.h"
#include "platform/shell/process.h"
#include "platform/shell/resources.h"

namespace {

constexpr DWORD kMaxTitleChars = 64;

// The device path of a module (null: the executable); empty when unknown.
std::u16string ModulePath(HMODULE module) {
    WCHAR buffer[MAX_PATH + 1];
    const DWORD length = GetModuleFileNameW(module, buffer, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH) {
        return {};
    }
    return std::u16string(buffer, length);
}

// The folder part of a path, up to and including its last separator; empty without one.
std::u16string FolderWithSeparator(const std::u16string& path) {
    const std::size_t slash = path.find_last_of(u"\\/");
    return slash == std::u16string::npos ? std::u16string() : path.substr(0, slash + 1);
}

std::u16string ComputeScreenDescFilePath() {
    const INT language = IniProfile::GetInt(u"Properties", u"Language",
                                            AppPaths::GetServerSettingsFilePath().c_str(), 0);
    const std::u16string fallback = u"ScreenDesc" + AppPaths::LanguageSuffix(language) + u"CE.dat";
    return AppPaths::GetModuleDirectory() +
           IniProfile::GetString(u"Zudav", u"ConfFile", AppPaths::GetSettingsFilePath().c_str(),
                                 fallback.c_str());
}

} // namespace

std::u16string AppPaths::GetModuleDirectory() {
    return FolderWithSeparator(ModulePath(platform::ResourceInstance()));
}

std::u16string AppPaths::GetSettingsFilePath() {
    return GetModuleDirectory() + u"PK.ini";
}

std::u16string AppPaths::GetRoutePointsFilePath() {
    return GetModuleDirectory() + u"Routenpunkte.ini";
}

std::u16string AppPaths::GetServerSettingsFilePath() {
    return MakeFullPath(u"RarUderad.ini");
}

std::u16string AppPaths::MakeFullPath(const std::u16string& name) {
    if (name.find_first_of(u"\\/") != std::u16string::npos) {
        return name;
    }
    std::u16string folder = FolderWithSeparator(ModulePath(nullptr));
    if (!folder.empty()) {
        folder.back() = u'\\';
    }
    return folder + name;
}

std::u16string AppPaths::GetLogbookFilePath() {
    std::u16string path =
        IniProfile::GetString(u"Logbook", u"Path", GetSettingsFilePath().c_str(), u"");
    return path.empty() ? GetModuleDirectory() + u"Fahrtenbuch.txt" : path;
}

std::u16string AppPaths::GetConverterPath() {
    std::u16string path =
        IniProfile::GetString(u"Vaza2Dazav", u"Path", GetSettingsFilePath().c_str(), u"");
    return path.empty() ? GetModuleDirectory() + u"R2U.exe" : path;
}

std::u16string AppPaths::GetScreenDescFilePath() {
    static const std::u16string path = ComputeScreenDescFilePath();
    return path;
}

std::u16string AppPaths::MakeGpsLogFileName() {
    SYSTEMTIME now{};
    GetSystemTime(&now);
    return platform::FormatW(u"/Windows/GPS Log %d-%d-%d %d-%d.txt", now.wDay, now.wMonth,
                             now.wYear, now.wHour, now.wMinute);
}

std::u16string AppPaths::LanguageSuffix(INT language) {
    switch (language) {
    case 1:
        return u"Eng";
    case 3:
        return u"Fre";
    case 4:
        return u"Spa";
    case 5:
        return u"Ita";
    case 6:
        return u"Dut";
    default:
        return u"Ger";
    }
}

std::u16string LoadAppTitle() {
    WCHAR title[kMaxTitleChars + 1] = {};
    const int length = LoadStringW(platform::ResourceInstance(), 1, title, kMaxTitleChars + 1);
    return std::u16string(title, static_cast<std::size_t>(length > 0 ? length : 0));
}

void OpenHelpFile(const std::u16string& anchor) {
    const std::u16string commandLine = u"file:" + anchor;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(u"peghelp.exe", commandLine.c_str(), nullptr, nullptr, FALSE, 0, nullptr,
                       nullptr, nullptr, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}
