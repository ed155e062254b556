#pragma once
#include "graph/GraphTypes.h"
#include <QSize>
#include <cstdint>

class QPainter;
class QImage;

// Cells of an object's data grid (subsets x points) that the engine holds; points beyond it
// are not allocated, and writes to them are ignored.
inline constexpr std::int64_t GraphEngineMaxDataCells = std::int64_t(1) << 21;

// Handles of engine objects. An object's handle is also the handle of its (hidden) window, so the
// control sends its window messages with the same value. 0 means no object.
using TEngineHandle = std::int32_t;
// Handles of windows that receive the engine's notifications (the controls' own windows).
using TWindowHandle = std::int32_t;

// The integer pair that several actions take by address (PEnarg1, then PEnarg2). For the image
// exports and printing of our engine it is a size in pixels; 0 by 0 means the object's own size.
struct TActionPair {
    std::int32_t First = 0, Second = 0;
};

// The calls of the graph engine, one per entry point; the comment gives each one's number, which
// callers, tests and logs use to name it. Every call takes the object handle first (create
// excepted). A handle of no object (0, destroyed, never made) does nothing and reads nothing.
//
// Values by address carry as many bytes as the property's kind has: 4 for integers, booleans,
// enumerations, colours and singles, 8 for doubles, a zero-terminated text of at most 256 bytes,
// and the size of a record for the record properties.
class IGraphEngine {
public:
    virtual ~IGraphEngine() = default;

    // 19: a new object of the given kind, or a copy of the properties of the object whose handle is
    // given (the source object stays as it is); 0 on failure.
    virtual TEngineHandle Create(std::int32_t kindOrSource, std::int32_t reserved, const TRect* rect,
                                 TWindowHandle parent, std::int32_t controlId) = 0;
    virtual void Destroy(TEngineHandle h) = 0;                                       // 20
    virtual void Reinitialize(TEngineHandle h) = 0;                                  // 33
    virtual void ResetImage(TEngineHandle h, std::int32_t a, std::int32_t b) = 0;    // 24
    // 23: the current image, owned by the engine; null when there is none. Our engine gives a
    // bitmap of the object's window size, which callers scale to theirs.
    virtual const QImage* GetMeta(TEngineHandle h) = 0;
    // 71: makes the memory drawing surface ready for the image (cleared to the desk colour).
    virtual void PrepareMemDC(TEngineHandle h, QPainter* paintDC, QPainter* memDC, const TRect* rect) = 0;
    // 41: rebuilds the cached bitmap (properties 2575, 2580) from the current image.
    virtual void ResetCacheBmp(TEngineHandle h) = 0;
    // 2: the last drawing pass over the control (transient marks such as a zoom frame).
    virtual void FinalPaint(TEngineHandle h, QPainter* paintDC, std::int32_t reserved) = 0;

    virtual void SetV(TEngineHandle h, std::int32_t id, const void* value, std::int32_t count) = 0;     // 3
    virtual void GetV(TEngineHandle h, std::int32_t id, void* buffer) = 0;                              // 4
    virtual void SetVCell(TEngineHandle h, std::int32_t id, std::int32_t i, const void* value) = 0;      // 5
    virtual void GetVCell(TEngineHandle h, std::int32_t id, std::int32_t i, void* buffer) = 0;           // 6
    virtual void SetInt(TEngineHandle h, std::int32_t id, std::int32_t value) = 0;                      // 7
    virtual std::int32_t GetInt(TEngineHandle h, std::int32_t id) = 0;                                  // 8
    virtual void SetSz(TEngineHandle h, std::int32_t id, const char* text) = 0;                         // 9
    virtual void GetSz(TEngineHandle h, std::int32_t id, char* buffer) = 0;                              // 10
    virtual void SetVCellEx(TEngineHandle h, std::int32_t id, std::int32_t i, std::int32_t j, const void* value) = 0; // 50
    virtual void GetVCellEx(TEngineHandle h, std::int32_t id, std::int32_t i, std::int32_t j, void* buffer) = 0;      // 51
    // 49: the graph values under a pixel of the object's image.
    virtual void ConvPixelToGraph(TEngineHandle h, std::int32_t* axis, std::int32_t* x, std::int32_t* y,
                                  double* rx, double* ry, std::int32_t rightAxis, std::int32_t topAxis,
                                  std::int32_t reserved) = 0;

    // Dialogs, printing, exports and resets. File names are zero-terminated texts.
    virtual void Customize(TEngineHandle h) = 0;                                                     // 25
    virtual void ExportDialog(TEngineHandle h) = 0;                                                  // 26
    virtual void Maximize(TEngineHandle h) = 0;                                                      // 27
    virtual void TextExportDialog(TEngineHandle h, std::int32_t option, const char* fileName) = 0;   // 28
    virtual void PrintDialog(TEngineHandle h, std::int32_t fullPage, const TActionPair* size) = 0;   // 29
    virtual void ColorDialog(TEngineHandle h) = 0;                                                   // 30
    virtual void FontDialog(TEngineHandle h) = 0;                                                    // 31
    virtual void PopupMenu(TEngineHandle h, const TActionPair* at) = 0;                              // 32
    virtual void ReinitCustoms(TEngineHandle h) = 0;                                                 // 34
    virtual void MetaToClip(TEngineHandle h, const TActionPair* size) = 0;                           // 36
    virtual void MetaToFile(TEngineHandle h, const TActionPair* size, const char* fileName) = 0;     // 37
    virtual void BmpToClip(TEngineHandle h, const TActionPair* size) = 0;                            // 38
    virtual void BmpToFile(TEngineHandle h, const TActionPair* size, const char* fileName) = 0;      // 39
    virtual void OleToClip(TEngineHandle h, const TActionPair* size) = 0;                            // 40
    virtual void PrintGraph(TEngineHandle h, std::int32_t a, std::int32_t b, std::int32_t c,
                            std::int32_t orientation) = 0;                                           // 48
    virtual void Reset(TEngineHandle h) = 0;                                                         // 54
    virtual void JpegToClip(TEngineHandle h, const TActionPair* size) = 0;                           // 56
    virtual void JpegToFile(TEngineHandle h, const TActionPair* size, const char* fileName) = 0;     // 57
    virtual void PngToFile(TEngineHandle h, const TActionPair* size, const char* fileName) = 0;      // 67
    virtual void PngToClip(TEngineHandle h, const TActionPair* size) = 0;                            // 70

    // The object's window: a message sent to it (handled before the call returns), and the
    // window's visibility and place inside its parent.
    virtual std::intptr_t SendMessage(TEngineHandle h, std::uint32_t msg, std::uintptr_t wParam,
                                      std::intptr_t lParam) = 0;
    virtual void ShowWindow(TEngineHandle h, bool visible) = 0;
    virtual void MoveWindow(TEngineHandle h, std::int32_t x, std::int32_t y, std::int32_t width,
                            std::int32_t height, bool repaint) = 0;
    // The window's own scroll bar (SB_HORZ or SB_VERT): its range and position.
    virtual void GetScrollRange(TEngineHandle h, int bar, std::int32_t* min, std::int32_t* max) = 0;
    virtual std::int32_t GetScrollPos(TEngineHandle h, int bar) = 0;
};

enum : int { SB_HORZ = 0, SB_VERT = 1 };
// How thick a window's scroll bar is: the bars take that much of the window from its client area,
// alike in the control's window and the engine's.
int ScrollBarExtent();
// The client area of a window of that size with the given scroll bars shown: the size of the
// engine's image and the rectangle the control paints it in, so that the two always agree.
QSize ClientSizeOf(QSize window, bool horzBar, bool vertBar);

// The engine that every graph control talks to: our own unless a test installed another.
IGraphEngine& GraphEngine();
// Installs another engine (tests); nullptr restores ours. Returns the previous one.
IGraphEngine* SetGraphEngine(IGraphEngine* engine);

// Window messages that pass between the controls and the engine keep their Windows numbers.
enum : std::uint32_t {
    WM_CREATE = 0x0001, WM_SIZE = 0x0005, WM_SETFOCUS = 0x0007, WM_KILLFOCUS = 0x0008,
    WM_PAINT = 0x000F, WM_ERASEBKGND = 0x0014, WM_WINDOWPOSCHANGING = 0x0046, WM_GETDLGCODE = 0x0087,
    WM_KEYDOWN = 0x0100, WM_KEYUP = 0x0101, WM_COMMAND = 0x0111, WM_HSCROLL = 0x0114,
    WM_VSCROLL = 0x0115, WM_MOUSEMOVE = 0x0200, WM_LBUTTONDOWN = 0x0201, WM_LBUTTONUP = 0x0202,
    WM_LBUTTONDBLCLK = 0x0203, WM_RBUTTONDOWN = 0x0204, WM_RBUTTONUP = 0x0205, WM_MOUSEWHEEL = 0x020A,
    PEWM_INVALIDATERECT = 0x0F7A,
};
// The engine's own command that undoes a zoom.
constexpr std::uint32_t PECMD_UNDOZOOM = 53053;
// Notification codes, in the high word of a WM_COMMAND's wParam whose lParam is the object.
enum : std::uint16_t {
    PEWN_CURSORMOVED = 3953, PEWN_PARAMUPDATE = 3961, PEWN_ZOOMIN = 3966, PEWN_ZOOMOUT = 3967,
    PEWN_PRECURSORMOVE = 3973, PEWN_CUSTOMIZEDLG = 3974, PEWN_POPUPMENU = 3975,
    PEWN_CUSTOMGRIDNUMBERS = 3979, PEWN_CUSTOMMENU = 3980, PEWN_PREHSCROLL = 3981, PEWN_PREVSCROLL = 3982,
};
// Key states of mouse messages.
enum : std::uint32_t { MK_LBUTTON = 0x01, MK_RBUTTON = 0x02, MK_SHIFT = 0x04, MK_CONTROL = 0x08, MK_MBUTTON = 0x10 };
// Scroll codes of WM_HSCROLL and WM_VSCROLL (TScrollCode).
enum : std::uint32_t {
    SB_LINEUP = 0, SB_LINEDOWN = 1, SB_PAGEUP = 2, SB_PAGEDOWN = 3, SB_THUMBPOSITION = 4,
    SB_THUMBTRACK = 5, SB_TOP = 6, SB_BOTTOM = 7, SB_ENDSCROLL = 8,
};

// The records that pass whole (little-endian, as the engine lays them out).
struct THotSpotRecord {
    std::int32_t Rect[4];      // the hot spot's area in pixels
    std::int32_t Type;         // 0: none
    std::int32_t First, Second;
};
static_assert(sizeof(THotSpotRecord) == 28);
struct TGraphPointRecord {
    std::int32_t Axis;
    std::int32_t Reserved;
    double X, Y;
};
static_assert(sizeof(TGraphPointRecord) == 24);
struct TGridNumberRecord {
    std::int32_t AxisType, AxisIndex;
    double Number;
    char Text[48];
};
static_assert(sizeof(TGridNumberRecord) == 64);

// A window that receives messages by handle: the controls register their windows here so that the
// engine can notify them.
class IMessageTarget {
public:
    virtual ~IMessageTarget() = default;
    virtual std::intptr_t WindowProc(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) = 0;
};
TWindowHandle RegisterWindow(IMessageTarget* target);
void UnregisterWindow(TWindowHandle window);
// Sends a message to a registered window; an unknown handle receives nothing and gives 0.
std::intptr_t SendMessageTo(TWindowHandle window, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);

// Bitmaps that the engine lends by handle (its cached bitmap).
std::int32_t RegisterBitmap(QImage* image);
void ReleaseBitmap(std::int32_t handle);
QImage* BitmapFromHandle(std::int32_t handle);
