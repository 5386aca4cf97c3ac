// Replacement of a shared file in use at the next start of Windows: the
// temporary name the new file is installed under, and the [rename] text for
// wininit.ini of Windows 95/98. No platform call.
#include <string.h>

#include "engine.h"
#include "text.h"

void temporary_replacement_name(const char *target_name, char *out, size_t size)
{
    // Starts of the last three characters, in a ring: a double-byte
    // character is one character and is never split.
    const char *starts[3] = {NULL, NULL, NULL};
    size_t count = 0;
    for (const char *p = target_name; *p; p = text_next(p))
        starts[count++ % 3] = p;

    // A name of fewer than three characters has no room for "$$$", and one
    // that ends in "$$$" would stay itself: either gets ".$$$" appended
    // (A becomes A.$$$), so the temporary copy never takes the target's name.
    size_t len = strlen(target_name);
    int append = count < 3 || (len >= 3 && strcmp(target_name + len - 3, "$$$") == 0);
    size_t kept = append ? len : (size_t)(starts[count % 3] - target_name);
    // A name cut short by the buffer gets no ending after the cut.
    if (text_copy_n(out, size, target_name, kept) == kept)
        text_append(out, size, append ? ".$$$" : "$$$");
}

// Text mode ends the text at an end-of-file mark (Ctrl-Z); the buffer the
// file is read into is zero-filled, so a zero byte ends it too.
static int ends_text(char c)
{
    return c == '\0' || c == '\x1a';
}

int wininit_has_rename_section(const char *head, size_t len)
{
    static const char header[] = "[rename]";
    const size_t header_len = sizeof header - 1;
    size_t i = 0;
    while (i < len && !ends_text(head[i])) {
        // Compared only where a character starts: the trail byte of a
        // double-byte character may be a bracket.
        if (len - i >= header_len && memcmp(head + i, header, header_len) == 0)
            return 1;
        if (text_is_lead_byte((unsigned char)head[i]) && i + 1 < len && !ends_text(head[i + 1]))
            i += 2;
        else
            i++;
    }
    return 0;
}

size_t wininit_rename_block(const char *head, size_t head_len, const char *system_dir, const char *target_name,
                            const char *temp_name, char *out, size_t size)
{
    if (size == 0)
        return 0;
    const char *header = "";
    if (head == NULL)
        header = "[rename]";
    else if (!wininit_has_rename_section(head, head_len))
        header = "\r\n[rename]";

    size_t wanted = strlen(header) + 2 + 2 * strlen(system_dir) + strlen(target_name) + 1 + strlen(temp_name);
    text_copy(out, size, header);
    text_append(out, size, "\r\n");
    text_append(out, size, system_dir);
    text_append(out, size, target_name);
    text_append(out, size, "=");
    text_append(out, size, system_dir);
    size_t len = text_append(out, size, temp_name);
    if (len != wanted) {
        // A cut line would rename the wrong file: nothing rather than that.
        out[0] = '\0';
        return 0;
    }
    return len;
}
