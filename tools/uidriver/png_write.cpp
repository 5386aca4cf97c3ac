// PNG writer with stored deflate blocks.
#include "png_write.h"

#include <string.h>

uint32_t png_crc32(uint32_t crc, const unsigned char *data, size_t len)
{
    static uint32_t table[256];
    static int ready = 0;
    if (!ready) {
        for (uint32_t n = 0; n < 256; n++) {
            uint32_t c = n;
            for (int k = 0; k < 8; k++)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
        ready = 1;
    }
    crc = ~crc;
    for (size_t i = 0; i < len; i++)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

uint32_t png_adler32(uint32_t adler, const unsigned char *data, size_t len)
{
    uint32_t a = adler & 0xFFFF, b = adler >> 16;
    while (len > 0) {
        size_t n = len < 5552 ? len : 5552;  // largest run without overflow
        len -= n;
        while (n--) {
            a += *data++;
            b += a;
        }
        a %= 65521;
        b %= 65521;
    }
    return (b << 16) | a;
}

static void put32(unsigned char *p, uint32_t v)
{
    p[0] = (unsigned char)(v >> 24);
    p[1] = (unsigned char)(v >> 16);
    p[2] = (unsigned char)(v >> 8);
    p[3] = (unsigned char)v;
}

// Writes the chunk data piece by piece with a running CRC.
struct ChunkWriter {
    PngSink sink;
    void *ctx;
    uint32_t crc;
    int ok;
};

static void cw_put(ChunkWriter *w, const unsigned char *data, size_t len)
{
    if (!w->ok || len == 0)
        return;
    w->crc = png_crc32(w->crc, data, len);
    if (!w->sink(w->ctx, data, len))
        w->ok = 0;
}

static void cw_begin(ChunkWriter *w, const char *type, uint32_t len)
{
    unsigned char head[8];
    put32(head, len);
    memcpy(head + 4, type, 4);
    if (w->ok && !w->sink(w->ctx, head, 4))
        w->ok = 0;
    w->crc = 0;
    cw_put(w, head + 4, 4);
}

static void cw_end(ChunkWriter *w)
{
    unsigned char tail[4];
    put32(tail, w->crc);
    if (w->ok && !w->sink(w->ctx, tail, 4))
        w->ok = 0;
}

int png_write_rgb(const unsigned char *rgb, int width, int height, size_t stride, PngSink sink,
                  void *ctx)
{
    if (width < 1 || height < 1 || width > 16384 || height > 16384 || stride < (size_t)width * 3)
        return 0;
    ChunkWriter w = {sink, ctx, 0, 1};
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (!sink(ctx, signature, sizeof signature))
        return 0;

    unsigned char ihdr[13];
    put32(ihdr, (uint32_t)width);
    put32(ihdr + 4, (uint32_t)height);
    ihdr[8] = 8;   // bit depth
    ihdr[9] = 2;   // colour type: RGB
    ihdr[10] = 0;  // deflate
    ihdr[11] = 0;  // adaptive filtering (each row says "none")
    ihdr[12] = 0;  // no interlace
    cw_begin(&w, "IHDR", sizeof ihdr);
    cw_put(&w, ihdr, sizeof ihdr);
    cw_end(&w);

    // The filtered data: each row is a filter byte (0) and the pixels.
    const uint64_t row = 1 + (uint64_t)width * 3;
    const uint64_t raw = row * (uint64_t)height;
    const uint64_t blocks = (raw + 65534) / 65535;
    const uint64_t zlen = 2 + raw + 5 * blocks + 4;
    cw_begin(&w, "IDAT", (uint32_t)zlen);
    static const unsigned char zhead[2] = {0x78, 0x01};
    cw_put(&w, zhead, 2);

    uint32_t adler = 1;
    uint64_t left = raw;   // bytes of filtered data still to write
    uint64_t in_block = 0; // bytes left in the current stored block
    int y = 0;
    size_t x_off = 0;      // position within the current row, 0 = filter byte
    while (left > 0 && w.ok) {
        if (in_block == 0) {
            uint32_t n = (uint32_t)(left < 65535 ? left : 65535);
            unsigned char bh[5];
            bh[0] = left <= 65535 ? 1 : 0;  // BFINAL on the last block, BTYPE 00
            bh[1] = (unsigned char)(n & 0xFF);
            bh[2] = (unsigned char)(n >> 8);
            bh[3] = (unsigned char)(~n & 0xFF);
            bh[4] = (unsigned char)((~n >> 8) & 0xFF);
            cw_put(&w, bh, 5);
            in_block = n;
        }
        if (x_off == 0) {
            static const unsigned char filter_none = 0;
            cw_put(&w, &filter_none, 1);
            adler = png_adler32(adler, &filter_none, 1);
            x_off = 1;
            in_block--;
            left--;
            continue;
        }
        size_t row_left = (size_t)(row - x_off);
        size_t n = (size_t)(row_left < in_block ? row_left : in_block);
        const unsigned char *p = rgb + (size_t)y * stride + (x_off - 1);
        cw_put(&w, p, n);
        adler = png_adler32(adler, p, n);
        x_off += n;
        in_block -= n;
        left -= n;
        if (x_off == row) {
            x_off = 0;
            y++;
        }
    }
    unsigned char ztail[4];
    put32(ztail, adler);
    cw_put(&w, ztail, 4);
    cw_end(&w);

    cw_begin(&w, "IEND", 0);
    cw_end(&w);
    return w.ok;
}
