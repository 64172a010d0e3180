#pragma once
// Large arrays that are about to be filled ask the kernel for huge pages: on machines
// where every first write to a fresh 4 KB page costs a fault, a mesh of a million
// vertices otherwise spends more time faulting pages in than reading its numbers.
#include <cstddef>

// Advises huge pages for the whole 2 MB blocks inside [Data, Data + Bytes); does nothing
// for small ranges or where the system has no such advice. The contents are unchanged.
void AdviseHugePages(const void* Data, size_t Bytes);
