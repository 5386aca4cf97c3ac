/* A library that only carries a version resource (or none): the files the
   version-installer tests copy over each other. */
#include <windows.h>

__declspec(dllexport) int vcopy_marker(void)
{
    return VCOPY_MARKER;
}
