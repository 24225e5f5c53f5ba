#include "GdiWin.h"

#include <vector>

bool CDibBitmap::Load(HINSTANCE module, const char* resourceName) {
    Release();
    const HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageA(module, resourceName, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!bitmap)
        return false;
    m_palette.Attach(CreatePaletteFor(bitmap));
    return Attach(bitmap);
}

HPALETTE CDibBitmap::CreatePaletteFor(HBITMAP bitmap) {
    BITMAP info;
    if (!GetObjectA(bitmap, sizeof(info), &info))
        return nullptr;
    if (info.bmPlanes * info.bmBitsPixel > 8) {
        CClientDC desktop(GetDesktopWindow());
        return desktop ? CreateHalftonePalette(desktop.Get()) : nullptr;
    }
    CMemoryDC memory(nullptr);
    if (!memory)
        return nullptr;
    RGBQUAD table[256];
    UINT count;
    {
        CSelectObject selection(memory.Get(), bitmap);
        count = GetDIBColorTable(memory.Get(), 0, 256, table);
    }
    if (count == 0)
        return nullptr;
    // LOGPALETTE ends in a one-entry array: room for the other entries follows it.
    std::vector<BYTE> storage(sizeof(LOGPALETTE) + (count - 1) * sizeof(PALETTEENTRY));
    LOGPALETTE* palette = reinterpret_cast<LOGPALETTE*>(storage.data());
    palette->palVersion = 0x300;
    palette->palNumEntries = static_cast<WORD>(count);
    for (UINT i = 0; i < count; ++i) {
        palette->palPalEntry[i].peRed = table[i].rgbRed;
        palette->palPalEntry[i].peGreen = table[i].rgbGreen;
        palette->palPalEntry[i].peBlue = table[i].rgbBlue;
        palette->palPalEntry[i].peFlags = 0;
    }
    return CreatePalette(palette);
}

RECT CDibBitmap::GetRect() const {
    RECT rect = {0, 0, 0, 0};
    BITMAP info;
    if (Get() && GetObjectA(Get(), sizeof(info), &info)) {
        rect.right = info.bmWidth;
        rect.bottom = info.bmHeight;
    }
    return rect;
}

bool CDibBitmap::Draw(HDC target, DWORD rasterOperation) const {
    const RECT rect = GetRect();
    return Copy(target, rect.right, rect.bottom, rasterOperation);
}

bool CDibBitmap::DrawScaled(HDC target, int width, int height) const {
    const int oldMode = SetStretchBltMode(target, HALFTONE);
    // HALFTONE asks for the brush origin to be set again after the mode changes.
    POINT oldOrigin = {0, 0};
    SetBrushOrgEx(target, 0, 0, &oldOrigin);
    const bool drawn = Copy(target, width, height, SRCCOPY);
    SetBrushOrgEx(target, oldOrigin.x, oldOrigin.y, nullptr);
    SetStretchBltMode(target, oldMode);
    return drawn;
}

bool CDibBitmap::Copy(HDC target, int width, int height, DWORD rasterOperation) const {
    if (!Get())
        return false;
    CMemoryDC memory(target);
    if (!memory)
        return false;
    const RECT rect = GetRect();
    CSelectObject selection(memory.Get(), Get());
    if (width == rect.right && height == rect.bottom)
        return BitBlt(target, 0, 0, width, height, memory.Get(), 0, 0, rasterOperation) != FALSE;
    return StretchBlt(target, 0, 0, width, height, memory.Get(), 0, 0, rect.right, rect.bottom,
                      rasterOperation) != FALSE;
}

void CDibBitmap::Release() {
    CBitmap::Release();
    m_palette.Release();
}

void CDC::Adopt(HDC dc) {
    m_dc = dc;
    if (m_dc)
        CountHandleCreated(HandleKind::DeviceContext);
}

void CDC::Forget() {
    if (m_dc)
        CountHandleReleased(HandleKind::DeviceContext);
    m_dc = nullptr;
}

CPaintDC::CPaintDC(HWND window) : m_window(window) {
    Adopt(BeginPaint(window, &m_paint));
}

CPaintDC::~CPaintDC() {
    // EndPaint validates the area even when BeginPaint gave no context.
    EndPaint(m_window, &m_paint);
    Forget();
}

CClientDC::CClientDC(HWND window) : m_window(window) {
    Adopt(GetDC(window));
}

CClientDC::~CClientDC() {
    if (m_dc)
        ReleaseDC(m_window, m_dc);
    Forget();
}

CMemoryDC::CMemoryDC(HDC compatibleWith) {
    Adopt(CreateCompatibleDC(compatibleWith));
}

CMemoryDC::~CMemoryDC() {
    if (m_dc)
        DeleteDC(m_dc);
    Forget();
}

CSelectObject::CSelectObject(HDC dc, HGDIOBJ object) : m_dc(dc) {
    if (dc && object)
        m_previous = SelectObject(dc, object);
}

CSelectObject::~CSelectObject() {
    if (m_previous)
        SelectObject(m_dc, m_previous);
}

CSelectPalette::CSelectPalette(HDC dc, HPALETTE palette) : m_dc(dc) {
    if (!dc || !palette)
        return;
    m_previous = SelectPalette(dc, palette, FALSE);
    RealizePalette(dc);
}

CSelectPalette::~CSelectPalette() {
    if (m_previous)
        SelectPalette(m_dc, m_previous, FALSE);
}
