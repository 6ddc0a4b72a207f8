#include "SwitcherSdk.h"

#ifdef KOVRA_SWITCHER_SDK

#include <mutex>

namespace {

using DiscoveryEntry = IBMDSwitcherDiscovery* (*)();

DiscoveryEntry loadEntryPoint()
{
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
}

} // namespace

IBMDSwitcherDiscovery* CreateBMDSwitcherDiscoveryInstance()
{
    static std::once_flag once;
    static DiscoveryEntry entry = nullptr;
    std::call_once(once, [] { entry = loadEntryPoint(); });
    return entry ? entry() : nullptr;
}

#else

// Whatever is installed on the machine, this build has no declarations it may call it through.
IBMDSwitcherDiscovery* CreateBMDSwitcherDiscoveryInstance()
{
    return nullptr;
}

#endif
