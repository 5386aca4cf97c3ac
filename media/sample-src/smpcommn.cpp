// SMPCOMMN.DLL: greeting and date texts shared by the programs of
// ほしぞらソフト. The texts live in the string table of this library and are
// loaded in the ANSI code page of the caller's system.
#define SMPCOMMN_BUILD
#include "smpcommn.h"
#include "smpcommn_res.h"

static HINSTANCE library_instance;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        library_instance = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

// Copies text into buffer, cut to size - 1 bytes without splitting a
// double-byte character; returns the length copied.
static int copy_text(char *buffer, int size, const char *text)
{
    int length = 0;
    if (buffer == NULL || size <= 0)
        return 0;
    while (text[length] != '\0') {
        int step = IsDBCSLeadByte((BYTE)text[length]) && text[length + 1] != '\0' ? 2 : 1;
        if (length + step > size - 1)
            break;
        buffer[length] = text[length];
        if (step == 2)
            buffer[length + 1] = text[length + 1];
        length += step;
    }
    buffer[length] = '\0';
    return length;
}

SMPAPI DWORD SmpGetVersion(void)
{
    return MAKELONG(0, 2);
}

SMPAPI int SmpFormatGreeting(const SYSTEMTIME *time, char *buffer, int size)
{
    char text[128];
    UINT id;
    if (time == NULL)
        return copy_text(buffer, size, "");
    if (time->wHour >= 5 && time->wHour < 11)
        id = IDS_GREETING_MORNING;
    else if (time->wHour >= 11 && time->wHour < 18)
        id = IDS_GREETING_DAY;
    else if (time->wHour >= 18 && time->wHour < 23)
        id = IDS_GREETING_EVENING;
    else
        id = IDS_GREETING_NIGHT;
    if (LoadStringA(library_instance, id, text, sizeof text) <= 0)
        text[0] = '\0';
    return copy_text(buffer, size, text);
}

SMPAPI int SmpFormatDate(const SYSTEMTIME *time, char *buffer, int size)
{
    char format[64];
    char weekdays[32];
    char weekday[3];
    char text[128];
    int day;
    if (time == NULL
        || LoadStringA(library_instance, IDS_DATE_FORMAT, format, sizeof format) <= 0
        || LoadStringA(library_instance, IDS_WEEKDAYS, weekdays, sizeof weekdays) < 14)
        return copy_text(buffer, size, "");
    // The weekday names are seven double-byte characters, Sunday first.
    day = time->wDayOfWeek % 7;
    weekday[0] = weekdays[day * 2];
    weekday[1] = weekdays[day * 2 + 1];
    weekday[2] = '\0';
    wsprintfA(text, format, time->wYear, time->wMonth, time->wDay, weekday,
              time->wHour, time->wMinute, time->wSecond);
    return copy_text(buffer, size, text);
}
