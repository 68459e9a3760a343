#include "platform/shell/resources.h"

#include "platform/files/modules.h"
#include "platform/files/paths.h"
#include "platform/kernel/debug.h"
#include "platform/kernel/handles.h"
#include "platform/shell/resourcebundle.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <vector>

namespace {

// The language libraries exist as built-in modules without entry points; their resources come
// from the bundle file that LoadLibraryW found.
const platform::ModuleRegistration kGerman(u"LangGerCE.dll", {});
const platform::ModuleRegistration kEnglish(u"LangEngCE.dll", {});
const platform::ModuleRegistration kFrench(u"LangFreCE.dll", {});
const platform::ModuleRegistration kSpanish(u"LangSpaCE.dll", {});
const platform::ModuleRegistration kItalian(u"LangItaCE.dll", {});
const platform::ModuleRegistration kDutch(u"LangDutCE.dll", {});

// A bundle file is refused beyond this size rather than read into memory.
constexpr std::uintmax_t kMaxBundleBytes = 16u << 20;

using Bundle = std::shared_ptr<const platform::ResourceBundle>;

// The bundle read for a module, with what identifies the file it came from.
struct Snapshot {
    std::u16string devicePath;
    std::filesystem::path hostPath;
    std::uintmax_t size = 0;
    timespec writeTime{};
    Bundle bundle;
};

struct ResourceState {
    std::mutex mutex;
    std::map<HINSTANCE, Snapshot> snapshots;
    // Every bundle ever read stays alive, so that texts handed out by pointer stay valid.
    std::vector<Bundle> kept;
    HINSTANCE resourceInstance = nullptr;
};

ResourceState& SharedResourceState() {
    static ResourceState state;
    return state;
}

void Report(const std::u16string& devicePath, std::u16string_view what) {
    std::u16string line = devicePath + u": " + std::u16string(what) + u"\n";
    OutputDebugStringW(line.c_str());
}

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::filesystem::path& host,
                                                       std::uintmax_t size) {
    std::ifstream in(host, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(size));
    if (static_cast<std::uintmax_t>(in.gcount()) != size) {
        return std::nullopt;
    }
    return data;
}

// The current bundle of a loaded module; null with the last error set when there is none.
// Call with the state's mutex held.
Bundle BundleOfLocked(ResourceState& state, HINSTANCE instance) {
    const std::u16string devicePath = platform::LoadedModulePath(instance);
    if (devicePath.empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    const auto known = state.snapshots.find(instance);
    const platform::ResolvedPath resolved = platform::ResolveDevicePath(devicePath);
    Snapshot fresh;
    fresh.devicePath = devicePath;
    fresh.hostPath = resolved.host;
    // One look at the file gives its size and time: only a regular file is a bundle.
    struct stat info {};
    const bool isReadable = resolved.status == platform::PathStatus::Exists &&
                            ::stat(resolved.host.c_str(), &info) == 0 && S_ISREG(info.st_mode);
    if (isReadable) {
        fresh.size = static_cast<std::uintmax_t>(info.st_size);
        fresh.writeTime = info.st_mtim;
    }
    if (known != state.snapshots.end() && known->second.devicePath == devicePath) {
        const Snapshot& old = known->second;
        // Like a mapped image, a loaded library keeps its resources when its file goes away.
        if (!isReadable || (old.hostPath == fresh.hostPath && old.size == fresh.size &&
                            old.writeTime.tv_sec == fresh.writeTime.tv_sec &&
                            old.writeTime.tv_nsec == fresh.writeTime.tv_nsec)) {
            return old.bundle;
        }
    }
    if (!isReadable) {
        Report(devicePath, u"the resource bundle cannot be found");
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    if (fresh.size > kMaxBundleBytes) {
        Report(devicePath, u"the resource bundle is larger than 16 MB");
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    const auto data = ReadWholeFile(fresh.hostPath, fresh.size);
    if (!data) {
        Report(devicePath, u"the resource bundle cannot be read");
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    platform::BundleError bundleError = platform::BundleError::None;
    auto bundle = platform::ReadResourceBundle(*data, &bundleError);
    if (!bundle) {
        Report(devicePath, platform::BundleErrorText(bundleError));
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    fresh.bundle = std::make_shared<const platform::ResourceBundle>(std::move(*bundle));
    state.kept.push_back(fresh.bundle);
    Bundle result = fresh.bundle;
    state.snapshots[instance] = std::move(fresh);
    return result;
}

// The current bundle of a loaded module, as BundleOfLocked.
Bundle BundleOf(HINSTANCE instance) {
    ResourceState& state = SharedResourceState();
    std::lock_guard lock(state.mutex);
    return BundleOfLocked(state, instance);
}

} // namespace

// Referenced by the linker option that nav_builtin_module adds, so that the registrations above
// are linked into every program that links the library.
extern "C" void NavBuiltinModule_LanguageLibraries() {}

int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int bufferMax) {
    if (buffer == nullptr || bufferMax < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (bufferMax > 0) {
        buffer[0] = u'\0';
    }
    ResourceState& state = SharedResourceState();
    std::lock_guard lock(state.mutex);
    const Bundle bundle = BundleOfLocked(state, instance);
    if (!bundle) {
        return 0;
    }
    const auto found = bundle->strings.find(id);
    if (found == bundle->strings.end() || found->second.empty()) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    const std::u16string& text = found->second;
    if (bufferMax == 0) {
        *reinterpret_cast<const WCHAR**>(buffer) = text.data();
        return static_cast<int>(text.size());
    }
    const std::size_t count = std::min<std::size_t>(text.size(), std::size_t(bufferMax) - 1);
    std::copy_n(text.begin(), count, buffer);
    buffer[count] = u'\0';
    return static_cast<int>(count);
}

namespace platform {

void SetResourceInstance(HINSTANCE instance) {
    ResourceState& state = SharedResourceState();
    std::lock_guard lock(state.mutex);
    state.resourceInstance = instance;
}

HINSTANCE ResourceInstance() {
    ResourceState& state = SharedResourceState();
    std::lock_guard lock(state.mutex);
    return state.resourceInstance;
}

std::vector<BundleAccelerator> LoadAcceleratorEntries(HINSTANCE instance, UINT id) {
    const Bundle bundle = BundleOf(instance);
    if (!bundle) {
        return {};
    }
    const auto found = bundle->accelerators.find(id);
    if (found == bundle->accelerators.end()) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return {};
    }
    return found->second;
}

bool HasMenuBar(HINSTANCE instance, UINT id) {
    const Bundle bundle = BundleOf(instance);
    if (!bundle) {
        return false;
    }
    if (!bundle->menuBars.contains(id)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return false;
    }
    return true;
}

} // namespace platform

namespace platform {

namespace {

// Copies picture id of the module's bitmaps or icons.
bool LoadPicture(HINSTANCE instance, UINT id, bool isIcon, std::vector<std::uint8_t>* bytes) {
    if (bytes == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    ResourceState& state = SharedResourceState();
    std::lock_guard lock(state.mutex);
    const Bundle bundle = BundleOfLocked(state, instance);
    if (!bundle) {
        return false;
    }
    const auto& pictures = isIcon ? bundle->icons : bundle->bitmaps;
    const auto found = pictures.find(id);
    if (found == pictures.end()) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return false;
    }
    *bytes = found->second;
    return true;
}

} // namespace

bool LoadResourceBitmap(HINSTANCE instance, UINT id, std::vector<std::uint8_t>* bytes) {
    return LoadPicture(instance, id, false, bytes);
}

bool LoadResourceIcon(HINSTANCE instance, UINT id, std::vector<std::uint8_t>* bytes) {
    return LoadPicture(instance, id, true, bytes);
}

} // namespace platform
