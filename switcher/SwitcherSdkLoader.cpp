#include "SwitcherSdk.h"

#include <mutex>

#ifdef __APPLE__
#include <CoreFoundation/CoreFoundation.h>
#endif

namespace {

using DiscoveryEntry = IBMDSwitcherDiscovery* (*)();

DiscoveryEntry loadEntryPoint()
{
#ifdef __APPLE__
    CFURLRef url = CFURLCreateWithFileSystemPath(
        kCFAllocatorDefault, CFSTR("/Library/Application Support/Blackmagic Design/Switchers/BMDSwitcherAPI.bundle"),
        kCFURLPOSIXPathStyle, true);
    if (!url)
        return nullptr;
    // Never released: the bundle stays loaded for the life of the process.
    CFBundleRef bundle = CFBundleCreate(kCFAllocatorDefault, url);
    CFRelease(url);
    if (!bundle)
        return nullptr;
    return reinterpret_cast<DiscoveryEntry>(
        CFBundleGetFunctionPointerForName(bundle, CFSTR("GetBMDSwitcherDiscoveryInstance_0012")));
#else
    return nullptr;
#endif
}

} // namespace

IBMDSwitcherDiscovery* CreateBMDSwitcherDiscoveryInstance()
{
    static std::once_flag once;
    static DiscoveryEntry entry = nullptr;
    std::call_once(once, [] { entry = loadEntryPoint(); });
    return entry ? entry() : nullptr;
}
