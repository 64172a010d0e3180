#include "render/uGLDriverPin.h"

#if defined(__SANITIZE_ADDRESS__)
#include <dlfcn.h>
#include <link.h>

#include <cstring>

namespace {

int PinIfDriver(dl_phdr_info* Info, size_t, void*)
{
    const char* name = Info->dlpi_name;
    const size_t length = name ? std::strlen(name) : 0;
    static constexpr char kSuffix[] = "_dri.so";
    const size_t suffix = sizeof(kSuffix) - 1;
    if (length > suffix && std::strcmp(name + length - suffix, kSuffix) == 0)
        // An extra reference that is never dropped; RTLD_NODELETE keeps it mapped.
        (void)dlopen(name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    return 0;
}

}  // namespace

void KeepGLDriverMappedForLeakCheck()
{
    dl_iterate_phdr(PinIfDriver, nullptr);
}
#else
void KeepGLDriverMappedForLeakCheck() {}
#endif
