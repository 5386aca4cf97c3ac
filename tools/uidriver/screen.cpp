// Screen capture, PNG files and icon recognition.
#include "screen.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "png_write.h"
#include "window_model.h"

// Copies a rectangle of the screen into out (width*height pixels, 0xRRGGBB,
// rows top to bottom). Returns 1 on success.
static int capture(int x, int y, int width, int height, uint32_t *out)
{
    BITMAPINFO bi;
    memset(&bi, 0, sizeof bi);
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(NULL);
    if (!screen)
        return 0;
    HDC mem = CreateCompatibleDC(screen);
    void *bits = NULL;
    HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
    int ok = 0;
    if (bmp && bits) {
        HGDIOBJ old = SelectObject(mem, bmp);
        ok = BitBlt(mem, 0, 0, width, height, screen, x, y, SRCCOPY | CAPTUREBLT) != 0;
        GdiFlush();
        if (ok)
            for (size_t i = 0; i < (size_t)width * height; i++)
                out[i] = ((const uint32_t *)bits)[i] & 0xFFFFFF;
        SelectObject(mem, old);
    }
    if (bmp)
        DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(NULL, screen);
    return ok;
}

static int file_sink(void *ctx, const unsigned char *data, size_t len)
{
    return fwrite(data, 1, len, (FILE *)ctx) == len;
}

int screen_save_png(const wchar_t *path, char *err, size_t err_size)
{
    int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
    int w = GetSystemMetrics(SM_CXVIRTUALSCREEN), h = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    if (w <= 0 || h <= 0) {
        x = y = 0;
        w = GetSystemMetrics(SM_CXSCREEN);
        h = GetSystemMetrics(SM_CYSCREEN);
    }
    uint32_t *px = (uint32_t *)malloc((size_t)w * h * 4);
    unsigned char *rgb = (unsigned char *)malloc((size_t)w * h * 3);
    int ok = 0;
    if (!px || !rgb) {
        snprintf(err, err_size, "no memory for a %dx%d picture", w, h);
    } else if (!capture(x, y, w, h, px)) {
        snprintf(err, err_size, "screen capture failed (error %lu)", (unsigned long)GetLastError());
    } else {
        for (size_t i = 0; i < (size_t)w * h; i++) {
            rgb[i * 3] = (unsigned char)(px[i] >> 16);
            rgb[i * 3 + 1] = (unsigned char)(px[i] >> 8);
            rgb[i * 3 + 2] = (unsigned char)px[i];
        }
        FILE *f = _wfopen(path, L"wb");
        if (!f) {
            snprintf(err, err_size, "cannot create the picture file");
        } else {
            ok = png_write_rgb(rgb, w, h, (size_t)w * 3, file_sink, f);
            if (fclose(f) != 0)
                ok = 0;
            if (!ok)
                snprintf(err, err_size, "cannot write the picture file");
        }
    }
    free(px);
    free(rgb);
    return ok;
}

// Draws the icon at the given size onto a background of one colour.
static int render_icon(HICON icon, int width, int height, uint32_t background, uint32_t *out)
{
    BITMAPINFO bi;
    memset(&bi, 0, sizeof bi);
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(NULL);
    HDC mem = CreateCompatibleDC(screen);
    void *bits = NULL;
    HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
    int ok = 0;
    if (bmp && bits) {
        HGDIOBJ old = SelectObject(mem, bmp);
        for (size_t i = 0; i < (size_t)width * height; i++)
            ((uint32_t *)bits)[i] = background;
        ok = DrawIconEx(mem, 0, 0, icon, width, height, 0, NULL, DI_NORMAL) != 0;
        GdiFlush();
        for (size_t i = 0; i < (size_t)width * height; i++)
            out[i] = ((const uint32_t *)bits)[i] & 0xFFFFFF;
        SelectObject(mem, old);
    }
    if (bmp)
        DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(NULL, screen);
    return ok;
}

int screen_recognise_icon(HWND icon_static)
{
    enum { MAX_SIDE = 128 };
    static uint32_t shown[MAX_SIDE * MAX_SIDE], on_black[MAX_SIDE * MAX_SIDE],
        on_white[MAX_SIDE * MAX_SIDE];
    static const struct {
        LPCWSTR id;
        int icon;
    } candidates[] = {
        {MAKEINTRESOURCEW(32513), UID_ICON_STOP},         // IDI_HAND
        {MAKEINTRESOURCEW(32514), UID_ICON_QUESTION},     // IDI_QUESTION
        {MAKEINTRESOURCEW(32515), UID_ICON_EXCLAMATION},  // IDI_EXCLAMATION
        {MAKEINTRESOURCEW(32516), UID_ICON_INFORMATION},  // IDI_ASTERISK
    };
    RECT rc;
    if (!GetClientRect(icon_static, &rc))
        return UID_ICON_UNKNOWN;
    POINT origin = {0, 0};
    ClientToScreen(icon_static, &origin);
    int w = rc.right - rc.left, h = rc.bottom - rc.top;
    if (w < 8 || h < 8 || w > MAX_SIDE || h > MAX_SIDE)
        return UID_ICON_UNKNOWN;
    if (!capture(origin.x, origin.y, w, h, shown))
        return UID_ICON_UNKNOWN;

    int best = UID_ICON_UNKNOWN;
    long best_bad = 0, best_opaque = 1;
    for (size_t k = 0; k < sizeof candidates / sizeof candidates[0]; k++) {
        HICON icon = LoadIconW(NULL, candidates[k].id);
        if (!icon || !render_icon(icon, w, h, 0x000000, on_black) ||
            !render_icon(icon, w, h, 0xFFFFFF, on_white))
            continue;
        // Only pixels that the icon covers fully (the same on black and
        // on white) take part; edges blended with the background do not.
        long opaque = 0, bad = 0;
        for (int i = 0; i < w * h; i++) {
            if (on_black[i] != on_white[i])
                continue;
            opaque++;
            if (on_black[i] != shown[i])
                bad++;
        }
        if (opaque < (long)(w * h) / 8)
            continue;
        // Fewest mismatches in proportion to the icon's own pixels.
        if (best == UID_ICON_UNKNOWN || bad * best_opaque < best_bad * opaque) {
            best = candidates[k].icon;
            best_bad = bad;
            best_opaque = opaque;
        }
    }
    // A covered or unpainted static matches nothing well.
    if (best != UID_ICON_UNKNOWN && best_bad * 20 > best_opaque)
        best = UID_ICON_UNKNOWN;
    return best;
}
