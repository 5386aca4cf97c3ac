// The transcript: JSON lines written to the log file (or standard output)
// as things happen, each flushed at once so that a killed run keeps them.
#pragma once

#include <stdio.h>

#include "json_text.h"

// Sets where lines go and the start of the time axis ("t", milliseconds).
void transcript_open(FILE *f);

// Milliseconds since transcript_open.
long long transcript_now(void);

// Starts a line in the shared buffer with "event" and "t".
JsonLine *transcript_begin(const char *event);

// Ends and writes the line begun last. A line that did not fit the buffer
// is replaced by a short "overflow" record naming the event.
void transcript_write(JsonLine *j);
