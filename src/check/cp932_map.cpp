// Code page 932 as the platform converts it, from the tables that
// tools/cp932_tables took from the platform itself (cp932_tables.inc).
#include <string.h>

#include "check.h"

namespace {

#include "cp932_tables.inc"

const uint16_t NOT_SET = 0xFFFF;  // no code page 932 sequence is FF FF

struct Tables {
    int row[256];                // the lead byte's row of cp932_pairs, or -1
    bool unpaired[60][256];      // lead and byte after it that do not pair
    uint16_t encode[0x10000];    // a byte, or lead * 256 + trail
    uint16_t lower[0x10000];
    uint16_t argument_single[256];
};

const Tables &tables()
{
    static const Tables *built = [] {
        Tables *t = new Tables;
        for (int &r : t->row)
            r = -1;
        for (int r = 0; r < 60; r++)
            t->row[cp932_leads[r]] = r;
        memset(t->unpaired, 0, sizeof t->unpaired);
        for (const auto &u : cp932_unpaired)
            t->unpaired[t->row[u[0]]][u[1]] = true;

        // The inverse of the decode tables: the first code that decodes to a
        // unit (single bytes first, then lead and trail in order). Twin of the
        // inverse in tools/cp932_tables, whose exceptions then put in the
        // platform's own choices where they differ.
        for (uint16_t &e : t->encode)
            e = NOT_SET;
        for (unsigned b = 0; b < 256; b++)
            if (t->row[b] < 0 && t->encode[cp932_single[b]] == NOT_SET)
                t->encode[cp932_single[b]] = (uint16_t)b;
        for (unsigned r = 0; r < 60; r++)
            for (unsigned trail = 0; trail < 256; trail++) {
                uint16_t unit = cp932_pairs[r * 256 + trail];
                if (!t->unpaired[r][trail] && t->encode[unit] == NOT_SET)
                    t->encode[unit] = (uint16_t)(cp932_leads[r] << 8 | trail);
            }
        for (uint16_t &e : t->encode)
            if (e == NOT_SET)
                e = '?';
        for (const auto &x : cp932_encode_exceptions)
            t->encode[x[0]] = x[1];

        for (unsigned u = 0; u < 0x10000; u++)
            t->lower[u] = (uint16_t)u;
        for (const auto &x : cp932_lower)
            t->lower[x[0]] = x[1];

        memcpy(t->argument_single, cp932_single, sizeof t->argument_single);
        for (const auto &x : cp932_argument_single)
            t->argument_single[x[0]] = x[1];
        return t;
    }();
    return *built;
}

// One unit of the text at i and the number of bytes it takes; single gives
// the unit of a byte that converts alone.
uint16_t decode_at(const Tables &t, const unsigned char *bytes, size_t len, size_t i, const uint16_t *single,
                   size_t *used)
{
    int r = t.row[bytes[i]];
    // A lead byte takes the byte after it whatever it is (a line feed too),
    // but for the few that do not pair.
    if (r >= 0 && i + 1 < len && !t.unpaired[r][bytes[i + 1]]) {
        *used = 2;
        return cp932_pairs[r * 256 + bytes[i + 1]];
    }
    *used = 1;
    return single[bytes[i]];
}

}  // namespace

WideText cp932_to_wide(const unsigned char *bytes, size_t len, std::vector<size_t> *offsets)
{
    const Tables &t = tables();
    WideText out;
    out.reserve(len);
    if (offsets != NULL)
        offsets->clear();
    for (size_t i = 0; i < len;) {
        size_t used;
        out.push_back(decode_at(t, bytes, len, i, cp932_single, &used));
        if (offsets != NULL)
            offsets->push_back(i);
        i += used;
    }
    return out;
}

WideText cp932_argument_to_wide(const char *text)
{
    const Tables &t = tables();
    const unsigned char *bytes = (const unsigned char *)text;
    size_t len = strlen(text);
    WideText out;
    for (size_t i = 0; i < len;) {
        size_t used;
        uint16_t unit = decode_at(t, bytes, len, i, t.argument_single, &used);
        // The functions take the argument as a zero-ended string.
        if (unit == 0)
            break;
        out.push_back(unit);
        i += used;
    }
    return out;
}

std::string cp932_from_wide(const uint16_t *wide, size_t len)
{
    const Tables &t = tables();
    std::string out;
    out.reserve(len * 2);
    for (size_t i = 0; i < len; i++) {
        uint16_t code = t.encode[wide[i]];
        if (code > 0xFF)
            out += (char)(code >> 8);
        out += (char)(code & 0xFF);
    }
    return out;
}

int cp932_round_trips(const unsigned char *bytes, size_t len, size_t *bad)
{
    const Tables &t = tables();
    for (size_t i = 0; i < len;) {
        size_t used;
        uint16_t code = t.encode[decode_at(t, bytes, len, i, cp932_single, &used)];
        unsigned expected = used == 2 ? (unsigned)bytes[i] << 8 | bytes[i + 1] : bytes[i];
        if (code != expected) {
            *bad = i;
            return 0;
        }
        i += used;
    }
    return 1;
}

uint16_t cp932_lower_unit(uint16_t unit)
{
    return tables().lower[unit];
}
