// Sampler.exe (サンプルソフト): a small clock window that greets the user.
// The greeting and date texts come from the shared library SMPCOMMN.DLL.
// The window position is kept per user in the registry, and every start is
// noted in Sampler.log beside the program (the previous log is kept as
// Sampler.old once the log grows past 4 KB).
#include <windows.h>
#include "sampler_res.h"
#include "smpcommn.h"

static const char CLASS_NAME[] = "HoshizoraSampler";
static const UINT_PTR CLOCK_TIMER = 1;
static const DWORD LOG_LIMIT = 4096;

static HINSTANCE app_instance;
static HFONT greeting_font;
static HFONT date_font;

// Loads string `id` into buffer; an empty text when it is missing.
static void load_text(UINT id, char *buffer, int size)
{
    if (LoadStringA(app_instance, id, buffer, size) <= 0)
        buffer[0] = '\0';
}

// The folder of this program with its trailing backslash. The scan steps over
// double-byte characters: the second byte of ソ or 表 is a backslash.
static void program_folder(char *folder, DWORD size)
{
    DWORD length = GetModuleFileNameA(NULL, folder, size);
    DWORD cut = 0;
    if (length == 0 || length >= size) {
        folder[0] = '\0';
        return;
    }
    for (DWORD i = 0; i < length; i++) {
        if (IsDBCSLeadByte((BYTE)folder[i]) && i + 1 < length)
            i++;
        else if (folder[i] == '\\')
            cut = i + 1;
    }
    folder[cut] = '\0';
}

static void append_start_log(void)
{
    char folder[MAX_PATH];
    char log_path[MAX_PATH + 16];
    char old_path[MAX_PATH + 16];
    char started[64];
    char line[128];
    SYSTEMTIME now;
    WIN32_FILE_ATTRIBUTE_DATA data;
    HANDLE file;
    DWORD written;
    int length;

    program_folder(folder, sizeof folder);
    if (folder[0] == '\0')
        return;
    wsprintfA(log_path, "%sSampler.log", folder);
    wsprintfA(old_path, "%sSampler.old", folder);
    if (GetFileAttributesExA(log_path, GetFileExInfoStandard, &data)
        && (data.nFileSizeHigh != 0 || data.nFileSizeLow > LOG_LIMIT))
        MoveFileExA(log_path, old_path, MOVEFILE_REPLACE_EXISTING);

    file = CreateFileA(log_path, FILE_APPEND_DATA, FILE_SHARE_READ, NULL, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return;  // a folder without write access keeps no log
    GetLocalTime(&now);
    load_text(IDS_LOG_STARTED, started, sizeof started);
    length = wsprintfA(line, "%04u/%02u/%02u %02u:%02u:%02u %s\r\n", now.wYear, now.wMonth,
                       now.wDay, now.wHour, now.wMinute, now.wSecond, started);
    WriteFile(file, line, (DWORD)length, &written, NULL);
    CloseHandle(file);
}

// Reads the saved window position; returns FALSE when none was saved.
static BOOL load_position(POINT *position)
{
    char key_name[128];
    HKEY key;
    DWORD left = 0, top = 0, size, type;
    BOOL found = FALSE;

    load_text(IDS_SETTINGS_KEY, key_name, sizeof key_name);
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key_name, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return FALSE;
    size = sizeof left;
    if (RegQueryValueExA(key, "Left", NULL, &type, (BYTE *)&left, &size) == ERROR_SUCCESS
        && type == REG_DWORD) {
        size = sizeof top;
        if (RegQueryValueExA(key, "Top", NULL, &type, (BYTE *)&top, &size) == ERROR_SUCCESS
            && type == REG_DWORD) {
            position->x = (LONG)left;
            position->y = (LONG)top;
            found = TRUE;
        }
    }
    RegCloseKey(key);
    return found;
}

static void save_position(HWND window)
{
    char key_name[128];
    WINDOWPLACEMENT placement;
    HKEY key;
    DWORD left, top;

    placement.length = sizeof placement;
    if (!GetWindowPlacement(window, &placement))
        return;
    load_text(IDS_SETTINGS_KEY, key_name, sizeof key_name);
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key_name, 0, NULL, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE, NULL, &key, NULL) != ERROR_SUCCESS)
        return;
    left = (DWORD)placement.rcNormalPosition.left;
    top = (DWORD)placement.rcNormalPosition.top;
    RegSetValueExA(key, "Left", 0, REG_DWORD, (const BYTE *)&left, sizeof left);
    RegSetValueExA(key, "Top", 0, REG_DWORD, (const BYTE *)&top, sizeof top);
    RegCloseKey(key);
}

static HFONT make_font(int height, int weight)
{
    char face[LF_FACESIZE];
    load_text(IDS_FONT_FACE, face, sizeof face);
    return CreateFontA(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       VARIABLE_PITCH | FF_MODERN, face);
}

static void paint_clock(HWND window)
{
    PAINTSTRUCT paint;
    SYSTEMTIME now;
    RECT client, upper, lower;
    char greeting[128];
    char date[128];
    HDC dc = BeginPaint(window, &paint);
    HGDIOBJ previous;

    GetLocalTime(&now);
    SmpFormatGreeting(&now, greeting, sizeof greeting);
    SmpFormatDate(&now, date, sizeof date);
    GetClientRect(window, &client);
    upper = client;
    upper.bottom = client.top + (client.bottom - client.top) / 2;
    lower = client;
    lower.top = upper.bottom;

    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 128));
    previous = SelectObject(dc, greeting_font);
    DrawTextA(dc, greeting, -1, &upper, DT_CENTER | DT_BOTTOM | DT_SINGLELINE | DT_NOPREFIX);
    SetTextColor(dc, RGB(0, 0, 0));
    SelectObject(dc, date_font);
    DrawTextA(dc, date, -1, &lower, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, previous);
    EndPaint(window, &paint);
}

static void show_about(HWND window)
{
    char format[256];
    char title[64];
    char text[512];
    DWORD version = SmpGetVersion();

    load_text(IDS_ABOUT_TEXT, format, sizeof format);
    load_text(IDS_ABOUT_TITLE, title, sizeof title);
    wsprintfA(text, format, (UINT)HIWORD(version), (UINT)LOWORD(version));
    MessageBoxA(window, text, title, MB_OK | MB_ICONINFORMATION);
}

static LRESULT CALLBACK clock_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_CREATE:
        SetTimer(window, CLOCK_TIMER, 1000, NULL);
        return 0;
    case WM_TIMER:
        InvalidateRect(window, NULL, TRUE);
        return 0;
    case WM_PAINT:
        paint_clock(window);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wparam) == IDM_EXIT)
            DestroyWindow(window);
        else if (LOWORD(wparam) == IDM_ABOUT)
            show_about(window);
        return 0;
    case WM_DESTROY:
        KillTimer(window, CLOCK_TIMER);
        save_position(window);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show)
{
    WNDCLASSA window_class;
    char title[128];
    POINT position;
    int x = CW_USEDEFAULT, y = CW_USEDEFAULT;
    HWND window;
    MSG message;

    (void)previous;
    (void)command_line;
    app_instance = instance;
    append_start_log();

    ZeroMemory(&window_class, sizeof window_class);
    window_class.style = CS_HREDRAW | CS_VREDRAW;
    window_class.lpfnWndProc = clock_window_proc;
    window_class.hInstance = instance;
    window_class.hIcon = LoadIconA(NULL, (LPCSTR)IDI_APPLICATION);
    window_class.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    window_class.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    window_class.lpszMenuName = MAKEINTRESOURCEA(IDM_MAIN);
    window_class.lpszClassName = CLASS_NAME;
    if (!RegisterClassA(&window_class))
        return 0;

    greeting_font = make_font(-28, FW_BOLD);
    date_font = make_font(-18, FW_NORMAL);
    if (load_position(&position)) {
        x = position.x;
        y = position.y;
    }
    load_text(IDS_TITLE, title, sizeof title);
    window = CreateWindowA(CLASS_NAME, title, WS_OVERLAPPEDWINDOW, x, y, 400, 180, NULL, NULL,
                           instance, NULL);
    if (window == NULL)
        return 0;
    ShowWindow(window, show);
    UpdateWindow(window);

    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    DeleteObject(greeting_font);
    DeleteObject(date_font);
    return (int)message.wParam;
}
