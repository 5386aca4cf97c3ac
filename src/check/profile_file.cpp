// The script read as the platform's profile functions read it: the file
// turned into UTF-16 (by its byte-order mark, else as code page 932), cut
// into lines and sections, and a value looked up and handed back in code
// page 932 with the platform's cut to the caller's buffer.
#include <string.h>

#include "check.h"

namespace {

// The blanks that the reader trims: tab to carriage return, space and ^Z (an
// end-of-file mark of old editors). Not U+3000 nor any other Unicode blank.
bool is_blank(uint16_t c)
{
    return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == 0x20;
}

bool is_line_end(uint16_t c)
{
    return c == '\n' || c == '\r';
}

// UTF-8 as the platform decodes it: a sequence that breaks off, is longer
// than its value needs, names a surrogate or lies beyond U+10FFFF gives
// U+FFFD for the bytes taken so far, and the next byte starts afresh; one
// cut off by the end of the text gives one U+FFFD for the rest.
void decode_utf8(const unsigned char *s, size_t len, size_t base, WideText *out, std::vector<size_t> *offsets)
{
    static const unsigned char mask[4] = {0x7F, 0x1F, 0x0F, 0x07};
    size_t i = 0;
    while (i < len) {
        size_t start = i;
        unsigned char ch = s[i++];
        if (ch < 0x80) {
            out->push_back(ch);
            offsets->push_back(base + start);
            continue;
        }
        // Bytes to follow: none for a byte that starts no sequence (80-C1,
        // F5-FF), which gives U+FFFD alone.
        unsigned n = ch >= 0xF5 ? 0 : ch >= 0xF0 ? 3 : ch >= 0xE0 ? 2 : ch >= 0xC2 ? 1 : 0;
        unsigned value = ch & mask[n];
        unsigned result = ~0u;
        if (len - i < n) {
            i = len;
        } else {
            // The bytes are taken one by one; each check that fails leaves
            // the rest for the next character.
            size_t end = i + n;
            unsigned c;
            switch (n) {
            case 3:
                if ((c = s[end - 3] ^ 0x80u) >= 0x40)
                    break;
                value = value << 6 | c;
                i++;
                if (value < 0x10)
                    break;
                // fall through
            case 2:
                if ((c = s[end - 2] ^ 0x80u) >= 0x40)
                    break;
                value = value << 6 | c;
                if (value >= 0x110000 >> 6)
                    break;
                i++;
                if (value < 0x20)
                    break;
                if (value >= 0xD800 >> 6 && value <= 0xDFFF >> 6)
                    break;
                // fall through
            case 1:
                if ((c = s[end - 1] ^ 0x80u) >= 0x40)
                    break;
                value = value << 6 | c;
                i++;
                if (value < 0x80)
                    break;
                result = value;
                break;
            default:
                break;
            }
        }
        offsets->push_back(base + start);
        if (result == ~0u) {
            out->push_back(0xFFFD);
        } else if (result > 0xFFFF) {
            // Two units from the same bytes.
            result -= 0x10000;
            out->push_back((uint16_t)(0xD800 | result >> 10));
            out->push_back((uint16_t)(0xDC00 | (result & 0x3FF)));
            offsets->push_back(base + start);
        } else {
            out->push_back((uint16_t)result);
        }
    }
}

// The file's text in UTF-16, with the byte offset of each unit and one more
// offset at the end of the last.
ProfileEncoding decode(const unsigned char *data, size_t len, WideText *text, std::vector<size_t> *offsets)
{
    if (len >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
        decode_utf8(data + 3, len - 3, 3, text, offsets);
        offsets->push_back(len);
        return PROFILE_UTF8;
    }
    if (len >= 2 && ((data[0] == 0xFF && data[1] == 0xFE) || (data[0] == 0xFE && data[1] == 0xFF))) {
        bool big = data[0] == 0xFE;
        // An odd last byte is left out: the platform reads a unit past the
        // end of its buffer there, which gives nothing to agree with.
        size_t units = (len - 2) / 2;
        for (size_t k = 0; k < units; k++) {
            const unsigned char *p = data + 2 + 2 * k;
            text->push_back(big ? (uint16_t)(p[0] << 8 | p[1]) : (uint16_t)(p[1] << 8 | p[0]));
            offsets->push_back(2 + 2 * k);
        }
        offsets->push_back(2 + 2 * units);
        return big ? PROFILE_UTF16BE : PROFILE_UTF16LE;
    }
    *text = cp932_to_wide(data, len, offsets);
    offsets->push_back(len);
    return PROFILE_ANSI;
}

// A name or value ends at its first zero unit, as a string of the platform.
WideText until_zero(const uint16_t *from, const uint16_t *to)
{
    const uint16_t *end = from;
    while (end < to && *end != 0)
        end++;
    return WideText(from, end);
}

// The query as the profile functions take it: converted, blanks around it
// trimmed.
WideText query(const char *name)
{
    WideText w = cp932_argument_to_wide(name);
    size_t from = 0, to = w.size();
    while (from < to && is_blank(w[from]))
        from++;
    while (to > from && is_blank(w[to - 1]))
        to--;
    return WideText(w.begin() + from, w.begin() + to);
}

bool same_name(const WideText &name, const WideText &wanted)
{
    if (name.size() != wanted.size())
        return false;
    for (size_t i = 0; i < name.size(); i++)
        if (cp932_lower_unit(name[i]) != cp932_lower_unit(wanted[i]))
            return false;
    return true;
}

const ProfileSection *find_section(const ProfileFile *file, const WideText &name)
{
    for (const ProfileSection &section : file->sections)
        if (same_name(section.name, name))
            return &section;
    return NULL;
}

const ProfileKey *find_key(const ProfileSection *section, const WideText &name)
{
    for (const ProfileKey &key : section->keys)
        if (same_name(key.name, name))
            return &key;
    return NULL;
}

}  // namespace

void profile_load(ProfileFile *file, const unsigned char *data, size_t len)
{
    WideText text;
    std::vector<size_t> offsets;
    file->encoding = decode(data, len, &text, &offsets);
    file->sections.assign(1, ProfileSection{WideText(), 0, {}});

    // Line numbers as an editor shows them: line feeds in the file's own
    // encoding (in code page 932 also one that a lead byte took along).
    bool by_units = file->encoding == PROFILE_UTF16LE || file->encoding == PROFILE_UTF16BE;
    std::vector<unsigned> line_of(text.size() + 1);
    unsigned line = 1;
    size_t byte = 0;
    for (size_t k = 0; k <= text.size(); k++) {
        if (by_units) {
            if (k > 0 && text[k - 1] == '\n')
                line++;
        } else {
            for (; byte < offsets[k]; byte++)
                line += data[byte] == '\n';
        }
        line_of[k] = line;
    }

    const uint16_t *t = text.data();
    size_t n = text.size(), next = 0;
    // A line with an empty name is dropped when the line kept before it in
    // the section had an empty name too.
    const ProfileKey *previous = NULL;
    while (next < n) {
        // A line ends at a run of line feeds and carriage returns.
        size_t start = next;
        while (next < n && !is_line_end(t[next]))
            next++;
        while (next < n && is_line_end(t[next]))
            next++;
        size_t end = next;
        while (start < end && is_blank(t[start]))
            start++;
        while (end > start && is_blank(t[end - 1]))
            end--;
        if (start == end)
            continue;

        if (t[start] == '[') {
            size_t close = end;
            while (close > start && t[close - 1] != ']')
                close--;
            // A '[' line without ']' is read as a key line.
            if (close > start) {
                size_t from = start + 1, to = close - 1;
                while (from < to && is_blank(t[from]))
                    from++;
                while (to > from && is_blank(t[to - 1]))
                    to--;
                file->sections.push_back(ProfileSection{until_zero(t + from, t + to), line_of[start], {}});
                previous = NULL;
                continue;
            }
        }

        size_t equals = start;
        while (equals < end && t[equals] != '=')
            equals++;
        size_t name_end = equals, value_from = end;
        if (equals < end) {
            while (name_end > start && is_blank(t[name_end - 1]))
                name_end--;
            value_from = equals + 1;
            while (value_from < end && is_blank(t[value_from]))
                value_from++;
        }
        if (name_end == start && previous != NULL && previous->name.empty())
            continue;
        ProfileKey key;
        key.name = until_zero(t + start, t + name_end);
        key.has_value = equals < end;
        key.value = key.has_value ? until_zero(t + value_from, t + end) : WideText();
        key.line = line_of[start];
        key.value_from = offsets[value_from];
        key.value_to = offsets[end];
        ProfileSection &section = file->sections.back();
        section.keys.push_back(key);
        previous = &section.keys.back();
    }
}

const ProfileSection *profile_find_section(const ProfileFile *file, const char *name)
{
    return find_section(file, query(name));
}

WideText profile_query_name(const char *name)
{
    return query(name);
}

const ProfileKey *profile_find_key(const ProfileSection *section, const char *name)
{
    return find_key(section, query(name));
}

int profile_get_string(const ProfileFile *file, const char *section, const char *key, const char *fallback,
                       char *buf, unsigned size)
{
    // The default loses its trailing spaces (spaces only), but one of a
    // default made only of spaces stays.
    WideText value = cp932_argument_to_wide(fallback);
    size_t keep = value.size();
    while (keep > 1 && value[keep - 1] == ' ')
        keep--;
    value.resize(keep);

    // Only the first section of the name is searched.
    const ProfileSection *found = find_section(file, query(section));
    const ProfileKey *line = found != NULL ? find_key(found, query(key)) : NULL;
    if (line != NULL && line->has_value)
        value = line->value;

    // The value goes into a UTF-16 buffer of size units: cut to size - 1,
    // then a pair of quotes taken off (the closing one only when the buffer
    // held the whole rest; what stands last goes instead when it did so
    // exactly).
    size_t from = 0;
    bool quoted = value.size() >= 2 && (value[0] == '\'' || value[0] == '"') && value.back() == value[0];
    if (quoted)
        from = 1;
    size_t rest = value.size() - from;
    size_t units = rest < size - 1 ? rest : size - 1;
    if (quoted && size >= rest && units > 0)
        units--;

    // Then into code page 932 in size - 1 bytes: characters as long as they
    // fit; when one does not, the bytes after those written stay as they
    // were and the result is size - 1.
    size_t written = 0;
    for (size_t i = 0; i < units; i++) {
        std::string bytes = cp932_from_wide(&value[from + i], 1);
        if (written + bytes.size() > size - 1) {
            buf[size - 1] = '\0';
            return (int)size - 1;
        }
        memcpy(buf + written, bytes.data(), bytes.size());
        written += bytes.size();
    }
    buf[written] = '\0';
    return (int)written;
}

std::string profile_section_lines(const ProfileSection *section)
{
    std::string lines;
    if (section == NULL)
        return lines;
    for (const ProfileKey &key : section->keys) {
        if ((key.name.empty() && !key.has_value) || (!key.name.empty() && key.name[0] == ';'))
            continue;
        lines += cp932_from_wide(key.name.data(), key.name.size());
        if (key.has_value)
            lines += "=" + cp932_from_wide(key.value.data(), key.value.size());
        lines += '\0';
    }
    return lines;
}
