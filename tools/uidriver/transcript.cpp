// Transcript output of the UI driver.
#include "transcript.h"

#include <windows.h>

#include <string.h>

static FILE *out_file;
static ULONGLONG start_tick;
static char line_buf[1 << 20];
static char event_name[32];
static JsonLine line;

void transcript_open(FILE *f)
{
    out_file = f;
    start_tick = GetTickCount64();
}

long long transcript_now(void)
{
    return (long long)(GetTickCount64() - start_tick);
}

JsonLine *transcript_begin(const char *event)
{
    size_t n = strlen(event);
    if (n >= sizeof event_name)
        n = sizeof event_name - 1;
    memcpy(event_name, event, n);
    event_name[n] = 0;
    json_begin(&line, line_buf, sizeof line_buf);
    json_str(&line, "event", event);
    json_int(&line, "t", transcript_now());
    return &line;
}

void transcript_write(JsonLine *j)
{
    if (!json_end(j)) {
        static char small[256];
        json_begin(j, small, sizeof small);
        json_str(j, "event", "overflow");
        json_int(j, "t", transcript_now());
        json_str(j, "of", event_name);
        json_end(j);
    }
    fwrite(j->buf, 1, j->len, out_file);
    fflush(out_file);
}
