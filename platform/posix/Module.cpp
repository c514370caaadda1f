#include "platform/Module.h"

#include <dlfcn.h>

namespace {
Dl_info InfoOfThisCode()
{
    Dl_info info{};
    dladdr(reinterpret_cast<void*>(&InfoOfThisCode), &info);
    return info;
}
}  // namespace

void* ThisModuleHandle()
{
    return InfoOfThisCode().dli_fbase;
}

std::string ThisModulePath()
{
    const Dl_info info = InfoOfThisCode();
    return info.dli_fname ? std::string(info.dli_fname) : std::string();
}
