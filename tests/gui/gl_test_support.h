#pragma once
// Support for tests that create OpenGL contexts.
//
// Mesa's driver is unloaded when the last context and display close, before the leak
// checker runs at exit; its allocations then show up as leaks in an unknown module that
// no suppression can name. Pinning every library loaded so far keeps them mapped, so
// their frames keep their library names and the suppressions in scripts/lsan.supp apply.
#include <dlfcn.h>
#include <link.h>

inline void PinLoadedLibraries()
{
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) {
            if (info->dlpi_name && info->dlpi_name[0] != '\0')
                dlopen(info->dlpi_name, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
}
