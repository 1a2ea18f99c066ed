#pragma once
// The numbers of Windows metafiles: the records of both kinds and the GDI values their
// parameters carry. Only what the readers draw or skip is named.
#include <cstdint>

namespace zel::metafile {

// Windows metafile (.WMF) records, by their function number.
enum class WmfRecord : std::uint16_t {
    Eof = 0x0000,
    CreatePalette = 0x00F7,
    SetPolyFillMode = 0x0106,
    SelectObject = 0x012D,
    SetTextAlign = 0x012E,
    DibCreatePatternBrush = 0x0142,
    DeleteObject = 0x01F0,
    CreatePatternBrush = 0x01F9,
    SetTextColor = 0x0209,
    SetWindowOrg = 0x020B,
    SetWindowExt = 0x020C,
    LineTo = 0x0213,
    MoveTo = 0x0214,
    CreatePenIndirect = 0x02FA,
    CreateFontIndirect = 0x02FB,
    CreateBrushIndirect = 0x02FC,
    Polygon = 0x0324,
    Polyline = 0x0325,
    Ellipse = 0x0418,
    Rectangle = 0x041B,
    TextOut = 0x0521,
    PolyPolygon = 0x0538,
    RoundRect = 0x061C,
    CreateRegion = 0x06FF,
    DibBitBlt = 0x0940,
    ExtTextOut = 0x0A32,
    DibStretchBlt = 0x0B41,
    StretchDib = 0x0F43,
};

// Enhanced metafile (.EMF) records, by their type.
enum class EmfRecord : std::uint32_t {
    Header = 1,
    Polygon = 3,
    Polyline = 4,
    PolyPolyline = 7,
    PolyPolygon = 8,
    SetWindowExtEx = 9,
    SetWindowOrgEx = 10,
    SetViewportExtEx = 11,
    SetViewportOrgEx = 12,
    Eof = 14,
    SetMapMode = 17,
    SetPolyFillMode = 19,
    SetTextAlign = 22,
    SetTextColor = 24,
    MoveToEx = 27,
    SaveDC = 33,
    RestoreDC = 34,
    SelectObject = 37,
    CreatePen = 38,
    CreateBrushIndirect = 39,
    DeleteObject = 40,
    Ellipse = 42,
    Rectangle = 43,
    RoundRect = 44,
    LineTo = 54,
    BitBlt = 76,
    StretchBlt = 77,
    StretchDIBits = 81,
    ExtCreateFontIndirectW = 82,
    ExtTextOutW = 84,
    Polygon16 = 86,
    Polyline16 = 87,
    PolyPolyline16 = 90,
    PolyPolygon16 = 91,
    ExtCreatePen = 95,
};

// The first four bytes of a placeable metafile, which adds a frame and a scale to a WMF.
inline constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7u;
// The logical units an inch of a placeable metafile that names none (twips).
inline constexpr int kTwipsPerInch = 1440;
// The header that follows: memory or disk metafile, and its size in 16-bit words.
inline constexpr std::uint32_t kWmfInMemory = 1;
inline constexpr std::uint32_t kWmfOnDisk = 2;
inline constexpr std::uint32_t kWmfHeaderWords = 9;
// The smallest record: its size (two words) and its function.
inline constexpr std::uint32_t kWmfRecordMinWords = 3;
// " EMF", the signature of an enhanced metafile's header.
inline constexpr std::uint32_t kEmfSignature = 0x464D4520u;
// The enhanced metafile header up to the reference device's size in millimetres.
inline constexpr std::uint32_t kEmfHeaderMinSize = 88;

// Pen styles (the low four bits of a pen's style).
inline constexpr std::uint32_t kPenStyleMask = 0x0f;
inline constexpr std::uint32_t kPenDash = 1;
inline constexpr std::uint32_t kPenDot = 2;
inline constexpr std::uint32_t kPenDashDot = 3;
inline constexpr std::uint32_t kPenDashDotDot = 4;
inline constexpr std::uint32_t kPenNull = 5;

// Brush styles; the pattern brushes are not drawn.
inline constexpr std::uint32_t kBrushSolid = 0;
inline constexpr std::uint32_t kBrushHatched = 2;

// Stock objects, selected by index with the high bit set (EMF).
inline constexpr std::uint32_t kStockObject = 0x80000000u;
inline constexpr std::uint32_t kBlackBrush = 4; // after white, light grey, grey, dark grey
inline constexpr std::uint32_t kNullBrush = 5;
inline constexpr std::uint32_t kWhitePen = 6;
inline constexpr std::uint32_t kBlackPen = 7;
inline constexpr std::uint32_t kNullPen = 8;

// Text alignment bits.
inline constexpr std::uint32_t kAlignRight = 2;
inline constexpr std::uint32_t kAlignCenter = 6;
inline constexpr std::uint32_t kAlignBottom = 8;
inline constexpr std::uint32_t kAlignBaseline = 24;

// ExtTextOut options that put a rectangle before the text.
inline constexpr std::uint32_t kTextOpaque = 0x2;
inline constexpr std::uint32_t kTextClipped = 0x4;

// Polygon fill mode that fills every enclosed area (the other, alternate, is the default).
inline constexpr std::uint32_t kFillWinding = 2;

// Mapping modes: one logical unit a pixel (the default), or the window scaled to the viewport.
inline constexpr int kMapText = 1;
inline constexpr int kMapIsotropic = 7;
inline constexpr int kMapAnisotropic = 8;

// A font weight from which the font is bold.
inline constexpr int kWeightSemiBold = 600;

// Device-independent bitmap headers and compressions.
inline constexpr std::uint32_t kCoreHeaderSize = 12; // three-byte colours
inline constexpr std::uint32_t kInfoHeaderSize = 40;
inline constexpr std::uint32_t kBitFields = 3;      // three colour masks after the header
inline constexpr std::uint32_t kAlphaBitFields = 6; // four colour masks after the header

} // namespace zel::metafile
