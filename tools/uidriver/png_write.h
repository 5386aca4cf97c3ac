// A small PNG writer for the UI driver's screenshots: 8-bit RGB, no
// filtering, deflate "stored" blocks (no compression), so it needs no
// library. Nothing here calls Windows: built natively too and tested there.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Receives the PNG bytes in order. Returns 1, or 0 to stop writing.
typedef int (*PngSink)(void *ctx, const unsigned char *data, size_t len);

// Checksums as PNG and zlib define them (pass 0 and 1 to start).
uint32_t png_crc32(uint32_t crc, const unsigned char *data, size_t len);
uint32_t png_adler32(uint32_t adler, const unsigned char *data, size_t len);

// Writes an RGB image (rows top to bottom, `stride` bytes apart, 3 bytes a
// pixel) as one PNG. Returns 1, or 0 when the sink failed or the size is
// out of range (width and height 1..16384).
int png_write_rgb(const unsigned char *rgb, int width, int height, size_t stride, PngSink sink,
                  void *ctx);
