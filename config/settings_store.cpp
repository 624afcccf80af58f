#include "config/settings_store.h"

#ifdef _WIN32
#include "config/registry_settings_store.h"
#else
#include "config/memory_settings_store.h"
#endif

namespace {

CSettingsStore* g_pStore = nullptr;

CSettingsStore& PlatformStore() {
#ifdef _WIN32
    static CRegistrySettingsStore store;
#else
    // Without a registry the settings live only as long as the process.
    static CMemorySettingsStore store;
#endif
    return store;
}

}  // namespace

CSettingsStore& SettingsStore() {
    return g_pStore ? *g_pStore : PlatformStore();
}

void SetSettingsStore(CSettingsStore* pStore) {
    g_pStore = pStore;
}
