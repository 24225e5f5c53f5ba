#pragma once
// Owned GDI objects and device contexts. Each wrapper releases what it holds when it goes,
// and counts it while it lives, so tests can prove that drawing leaves nothing behind.
#include "HandleCount.h"

#include <windows.h>

// A GDI object deleted with DeleteObject.
template <typename Handle, HandleKind Kind> class CGdiObject {
public:
    CGdiObject() = default;
    ~CGdiObject() { Release(); }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    Handle Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }

    // Takes ownership of handle (which may be null), releasing what was held.
    bool Attach(Handle handle) {
        Release();
        m_handle = handle;
        if (!m_handle)
            return false;
        CountHandleCreated(Kind);
        return true;
    }

    void Release() {
        if (!m_handle)
            return;
        DeleteObject(m_handle);
        CountHandleReleased(Kind);
        m_handle = nullptr;
    }

private:
    Handle m_handle = nullptr;
};

class CFont : public CGdiObject<HFONT, HandleKind::Font> {
public:
    bool CreateFontIndirect(const LOGFONTA& font) { return Attach(::CreateFontIndirectA(&font)); }
};

class CBrush : public CGdiObject<HBRUSH, HandleKind::Brush> {
public:
    bool CreateSolidBrush(COLORREF colour) { return Attach(::CreateSolidBrush(colour)); }
};

class CPalette : public CGdiObject<HPALETTE, HandleKind::Palette> {};

class CBitmap : public CGdiObject<HBITMAP, HandleKind::Bitmap> {};

// A bitmap resource loaded as a DIB section, with a palette made for it.
class CDibBitmap : public CBitmap {
public:
    ~CDibBitmap() { Release(); }

    bool Load(HINSTANCE module, UINT resourceId) {
        return Load(module, MAKEINTRESOURCEA(resourceId));
    }
    // Replaces what is held; on failure nothing is held.
    bool Load(HINSTANCE module, const char* resourceName);
    // The palette for the bitmap: a halftone palette for more than 8 bits per pixel,
    // otherwise one built from the bitmap's colour table. Null on failure; the caller owns it.
    static HPALETTE CreatePaletteFor(HBITMAP bitmap);
    // (0, 0, width, height), or all zero when nothing is held.
    RECT GetRect() const;
    // Copies the whole bitmap to the target's origin; false when nothing is held.
    bool Draw(HDC target, DWORD rasterOperation) const;
    // The same at width x height, averaging the pixels (HALFTONE) so that a picture drawn
    // larger stays smooth instead of blocky.
    bool DrawScaled(HDC target, int width, int height) const;
    void Release();

    HPALETTE GetPalette() const { return m_palette.Get(); }

private:
    // The whole bitmap to the target's origin at width x height.
    bool Copy(HDC target, int width, int height, DWORD rasterOperation) const;

    CPalette m_palette;
};

// The device contexts. Each gives its handle back the way it was obtained.
class CDC {
public:
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;
    HDC Get() const { return m_dc; }
    explicit operator bool() const { return m_dc != nullptr; }

protected:
    CDC() = default;
    ~CDC() = default;
    // Counts the context when there is one.
    void Adopt(HDC dc);
    void Forget();
    HDC m_dc = nullptr;
};

// BeginPaint/EndPaint for a WM_PAINT handler.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(HWND window);
    ~CPaintDC();

private:
    HWND m_window;
    PAINTSTRUCT m_paint;
};

// GetDC/ReleaseDC of a window's client area (the screen's for a null window).
class CClientDC : public CDC {
public:
    explicit CClientDC(HWND window);
    ~CClientDC();

private:
    HWND m_window;
};

// A memory context compatible with another (with the screen for null).
class CMemoryDC : public CDC {
public:
    explicit CMemoryDC(HDC compatibleWith);
    ~CMemoryDC();
};

// Selects an object into a context and selects the previous one back when it goes. A null
// object selects nothing.
class CSelectObject {
public:
    CSelectObject(HDC dc, HGDIOBJ object);
    ~CSelectObject();
    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_previous = nullptr;
};

// Selects and realises a palette as a foreground palette, and the previous one back (also in
// the foreground) when it goes. A null palette selects nothing.
class CSelectPalette {
public:
    CSelectPalette(HDC dc, HPALETTE palette);
    ~CSelectPalette();
    CSelectPalette(const CSelectPalette&) = delete;
    CSelectPalette& operator=(const CSelectPalette&) = delete;

private:
    HDC m_dc;
    HPALETTE m_previous = nullptr;
};
