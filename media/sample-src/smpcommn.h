/* SMPCOMMN.DLL: the library that the programs of ほしぞらソフト share.
   Texts are in the Japanese ANSI code page (932). */
#ifndef SMPCOMMN_H
#define SMPCOMMN_H

#include <windows.h>

#ifdef SMPCOMMN_BUILD
#define SMPAPI extern "C" __declspec(dllexport)
#else
#define SMPAPI extern "C" __declspec(dllimport)
#endif

/* Version of the library: major version in the high word, minor in the low
   word (2.00 is 0x00020000). */
SMPAPI DWORD SmpGetVersion(void);

/* The greeting for the hour of `time` ("おはようございます" and so on).
   Writes at most size - 1 bytes and a terminator, never half a double-byte
   character; returns the length written, 0 when nothing fits. */
SMPAPI int SmpFormatGreeting(const SYSTEMTIME *time, char *buffer, int size);

/* The date and time of `time` as one line, for example
   "2024年5月3日(金) 14:05:09". Same buffer rules as above. */
SMPAPI int SmpFormatDate(const SYSTEMTIME *time, char *buffer, int size);

#endif
