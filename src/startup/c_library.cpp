// The four functions of the C library that the program calls, here so that
// setup.exe imports no C run-time library: the first Windows 95 has no
// msvcrt.dll, and the loader would refuse the program for want of it. Built
// into setup.exe only; the tests take the compiler's own library.
//
// Compiled without the compiler's built-in knowledge of these functions
// (src/CMakeLists.txt), which would otherwise turn each loop back into a call
// of the function itself.
#include <stddef.h>

extern "C" {

size_t strlen(const char *s)
{
    const char *end = s;
    while (*end)
        end++;
    return (size_t)(end - s);
}

int strcmp(const char *a, const char *b)
{
    while (*a && *a == *b) {
        a++;
        b++;
    }
    return (unsigned char)*a - (unsigned char)*b;
}

int memcmp(const void *a, const void *b, size_t count)
{
    const unsigned char *x = (const unsigned char *)a;
    const unsigned char *y = (const unsigned char *)b;
    for (; count; count--, x++, y++)
        if (*x != *y)
            return *x - *y;
    return 0;
}

void *memmove(void *to, const void *from, size_t count)
{
    unsigned char *d = (unsigned char *)to;
    const unsigned char *s = (const unsigned char *)from;
    if (d < s)
        for (; count; count--)
            *d++ = *s++;
    else
        while (count--)
            d[count] = s[count];
    return to;
}
}
