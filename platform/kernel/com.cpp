#include "platform/kernel/com.h"

namespace {

struct ThreadCom {
    int count = 0;
    DWORD model = COINIT_MULTITHREADED; // meaningful while count > 0
};

thread_local ThreadCom t_com;

} // namespace

HRESULT CoInitializeEx(void* reserved, DWORD coInit) {
    if (reserved != nullptr ||
        (coInit != COINIT_MULTITHREADED && coInit != COINIT_APARTMENTTHREADED)) {
        return E_INVALIDARG;
    }
    if (t_com.count > 0 && t_com.model != coInit) {
        return RPC_E_CHANGED_MODE;
    }
    t_com.model = coInit;
    return t_com.count++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
    if (t_com.count > 0) {
        --t_com.count;
    }
}

namespace platform {

int ComInitializationCount() {
    return t_com.count;
}

} // namespace platform
