#include "platform/files/modules.h"

#include "platform/files/errors.h"
#include "platform/files/paths.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/text.h"

#include <algorithm>
#include <mutex>
#include <set>

namespace platform {
namespace {

struct Module {
    std::u16string fileName;
    std::vector<std::pair<std::u16string, FARPROC>> exports;
    std::size_t references = 0;
    std::u16string loadedFrom; // device path of the file found by the last load
};

struct ModuleTable {
    std::mutex mutex;
    std::vector<Module> modules; // never shrinks: a module's index is its handle
    std::set<std::pair<std::u16string, std::u16string>> hidden; // (folded module, entry)
    std::u16string programFolder = u"\\";
};

ModuleTable& Modules() {
    static ModuleTable* table = new ModuleTable; // never destroyed: used by exit-time code
    return *table;
}

// Handles are multiples of 4 from the end of the kernel handles' range on, so that a module
// handle never names a kernel object (nor a kernel handle a module).
constexpr std::uintptr_t kHandleBase = kKernelHandleEnd;

HMODULE HandleOf(std::size_t index) {
    return reinterpret_cast<HMODULE>(kHandleBase + 4 * index);
}

Module* ModuleOf(ModuleTable& table, HMODULE module) {
    const auto value = reinterpret_cast<std::uintptr_t>(module);
    if (value < kHandleBase || (value - kHandleBase) % 4 != 0) {
        return nullptr;
    }
    const std::size_t index = (value - kHandleBase) / 4;
    return index < table.modules.size() ? &table.modules[index] : nullptr;
}

std::u16string Folded(std::u16string_view name) {
    return ToLower(name);
}

bool IsFile(std::u16string_view devicePath) {
    const ResolvedPath resolved = ResolveDevicePath(devicePath);
    std::error_code error;
    return resolved.status == PathStatus::Exists && !resolved.isRoot &&
           std::filesystem::is_regular_file(resolved.host, error);
}

// The device path where a library of this name lies, or empty.
std::u16string FindLibraryFile(std::u16string_view name, const std::u16string& programFolder) {
    if (name.find_first_of(u"\\/") != name.npos) {
        return IsFile(name) ? NormalizeDevicePath(name) : std::u16string();
    }
    for (const std::u16string& folder :
         {programFolder, std::u16string(u"\\Windows"), std::u16string(u"\\")}) {
        std::u16string candidate = NormalizeDevicePath(folder + u"\\" + std::u16string(name));
        if (IsFile(candidate)) {
            return candidate;
        }
    }
    return {};
}

} // namespace

bool RegisterModule(std::u16string_view fileName, std::initializer_list<ModuleExport> exports) {
    ModuleTable& table = Modules();
    std::lock_guard lock(table.mutex);
    for (const Module& module : table.modules) {
        if (DeviceNamesEqual(module.fileName, fileName)) {
            return false;
        }
    }
    Module module;
    module.fileName = fileName;
    for (const ModuleExport& entry : exports) {
        module.exports.emplace_back(entry.name, entry.address);
    }
    table.modules.push_back(std::move(module));
    return true;
}

ModuleRegistration::ModuleRegistration(std::u16string_view fileName,
                                       std::initializer_list<ModuleExport> exports) {
    (void)RegisterModule(fileName, exports);
}

void HideEntryPoint(std::u16string_view moduleFileName, std::u16string_view entryName) {
    ModuleTable& table = Modules();
    std::lock_guard lock(table.mutex);
    table.hidden.emplace(Folded(moduleFileName), entryName);
}

void ResetHiddenEntryPoints() {
    ModuleTable& table = Modules();
    std::lock_guard lock(table.mutex);
    table.hidden.clear();
}

void SetProgramFolder(std::u16string_view devicePath) {
    ModuleTable& table = Modules();
    std::lock_guard lock(table.mutex);
    table.programFolder = NormalizeDevicePath(devicePath);
}

std::u16string ProgramFolder() {
    ModuleTable& table = Modules();
    std::lock_guard lock(table.mutex);
    return table.programFolder;
}

std::u16string LoadedModulePath(HMODULE module) {
    ModuleTable& table = Modules();
    std::lock_guard lock(table.mutex);
    const Module* found = ModuleOf(table, module);
    return found != nullptr && found->references > 0 ? found->loadedFrom : std::u16string();
}

std::size_t LoadedModuleCount() {
    ModuleTable& table = Modules();
    std::lock_guard lock(table.mutex);
    std::size_t count = 0;
    for (const Module& module : table.modules) {
        count += module.references;
    }
    return count;
}

} // namespace platform

HMODULE LoadLibraryW(LPCWSTR fileName) {
    if (fileName == nullptr || *fileName == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::u16string name(fileName);
    const std::size_t lastSeparator = name.find_last_of(u"\\/");
    const std::size_t nameStart = lastSeparator == name.npos ? 0 : lastSeparator + 1;
    if (name.find(u'.', nameStart) == name.npos) {
        name += u".dll";
    }
    const std::u16string_view bareName = std::u16string_view(name).substr(nameStart);
    const std::u16string found = platform::FindLibraryFile(name, platform::ProgramFolder());
    if (found.empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    platform::ModuleTable& table = platform::Modules();
    std::lock_guard lock(table.mutex);
    for (std::size_t i = 0; i < table.modules.size(); ++i) {
        platform::Module& module = table.modules[i];
        if (platform::DeviceNamesEqual(module.fileName, bareName)) {
            ++module.references;
            module.loadedFrom = found;
            SetLastError(ERROR_SUCCESS);
            return platform::HandleOf(i);
        }
    }
    SetLastError(ERROR_BAD_EXE_FORMAT);
    return nullptr;
}

FARPROC GetProcAddressW(HMODULE module, LPCWSTR procName) {
    platform::ModuleTable& table = platform::Modules();
    std::lock_guard lock(table.mutex);
    const platform::Module* found = platform::ModuleOf(table, module);
    if (found == nullptr || found->references == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (procName == nullptr ||
        table.hidden.count({platform::Folded(found->fileName), std::u16string(procName)}) != 0) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    for (const auto& [name, address] : found->exports) {
        if (name == procName) {
            return address;
        }
    }
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

HMODULE GetModuleHandleW(LPCWSTR moduleName) {
    std::u16string name(moduleName != nullptr ? moduleName : u"");
    if (!name.empty() && name.find(u'.') == name.npos) {
        name += u".dll";
    }
    platform::ModuleTable& table = platform::Modules();
    std::lock_guard lock(table.mutex);
    for (std::size_t i = 0; i < table.modules.size(); ++i) {
        const platform::Module& module = table.modules[i];
        if (module.references > 0 && platform::DeviceNamesEqual(module.fileName, name)) {
            return platform::HandleOf(i);
        }
    }
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

BOOL FreeLibrary(HMODULE module) {
    platform::ModuleTable& table = platform::Modules();
    std::lock_guard lock(table.mutex);
    platform::Module* found = platform::ModuleOf(table, module);
    if (found == nullptr || found->references == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    --found->references;
    return TRUE;
}
