#include "platform/preview.h"

#include "platform/dialog_win32.h"
#include "platform/textconv_win32.h"

namespace {

constexpr int kPictureWidth = 240;
constexpr int kPictureHeight = 64;
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

// The one preview: the control, its off-screen surface and the drawing
// state kept with it.
struct PreviewSurface {
    HWND control = nullptr;
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ originalBitmap = nullptr;
    HBRUSH background = nullptr; // for clears
    int width = 0;
    int height = 0;
    WNDPROC controlProcedure = nullptr;
};
PreviewSurface Surface;

void ReleaseSurface() {
    if (Surface.dc != nullptr) {
        SelectObject(Surface.dc, Surface.originalBitmap);
        DeleteDC(Surface.dc);
    }
    if (Surface.bitmap != nullptr)
        DeleteObject(Surface.bitmap);
    if (Surface.background != nullptr)
        DeleteObject(Surface.background);
    Surface = PreviewSurface();
}

// The control shows the surface: it paints from it instead of asking the
// dialog to draw it.
LRESULT CALLBACK PreviewProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC original = Surface.controlProcedure;
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        BitBlt(dc, 0, 0, Surface.width, Surface.height, Surface.dc, 0, 0, SRCCOPY);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_NCDESTROY:
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        ReleaseSurface();
        break;
    }
    return CallWindowProcW(original, window, message, wParam, lParam);
}

// At once, without waiting for the message loop.
void RepaintPreview() {
    InvalidateRect(Surface.control, nullptr, FALSE);
    UpdateWindow(Surface.control);
}

} // namespace

void CreatePreviewSurface(int controlId) {
    HWND control = DialogControlWindow(controlId);
    if (control == nullptr)
        return;
    ReleaseSurface();
    RECT client;
    GetClientRect(control, &client);
    HDC screen = GetDC(nullptr);
    Surface.control = control;
    Surface.width = client.right;
    Surface.height = client.bottom;
    Surface.dc = CreateCompatibleDC(screen);
    Surface.bitmap = CreateCompatibleBitmap(screen, Surface.width, Surface.height);
    ReleaseDC(nullptr, screen);
    Surface.originalBitmap = SelectObject(Surface.dc, Surface.bitmap);

    SetTextColor(Surface.dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(Surface.dc, GetSysColor(COLOR_BTNFACE));
    SetBkMode(Surface.dc, OPAQUE);
    Surface.background = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    RECT all = {0, 0, Surface.width, Surface.height};
    FillRect(Surface.dc, &all, Surface.background);

    Surface.controlProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PreviewProcedure)));
}

void DrawPreview(const std::string& path) {
    if (Surface.dc == nullptr)
        return;
    // Black on white from the first picture on: a one-bit picture takes the
    // text colour for its 0 bits and the background colour for its 1 bits.
    SetTextColor(Surface.dc, kBlack);
    SetBkColor(Surface.dc, kWhite);
    SetBkMode(Surface.dc, OPAQUE);
    DeleteObject(Surface.background);
    Surface.background = CreateSolidBrush(kWhite);

    std::wstring file = WidePath(path);
    if (file.empty())
        return;
    auto picture = static_cast<HBITMAP>(LoadImageW(nullptr, file.c_str(), IMAGE_BITMAP,
                                                   kPictureWidth, kPictureHeight, LR_LOADFROMFILE));
    if (picture != nullptr) {
        HDC source = CreateCompatibleDC(Surface.dc);
        HGDIOBJ original = SelectObject(source, picture);
        BitBlt(Surface.dc, 0, 0, kPictureWidth, kPictureHeight, source, 0, 0, SRCCOPY);
        SelectObject(source, original);
        DeleteObject(picture);
        DeleteDC(source);
        RepaintPreview();
        return;
    }
    auto icon = static_cast<HICON>(LoadImageW(nullptr, file.c_str(), IMAGE_ICON, kPictureWidth,
                                              kPictureHeight, LR_LOADFROMFILE));
    if (icon != nullptr) {
        DrawIconEx(Surface.dc, 0, 0, icon, kPictureWidth, kPictureHeight, 0, nullptr, DI_NORMAL);
        DestroyIcon(icon);
        RepaintPreview();
    }
}

void ClearPreview() {
    if (Surface.dc == nullptr)
        return;
    RECT all = {0, 0, Surface.width, Surface.height};
    FillRect(Surface.dc, &all, Surface.background);
    RepaintPreview();
}
