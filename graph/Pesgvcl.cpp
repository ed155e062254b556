#include "Pesgvcl.h"
#include "graph/engine/EngineProperties.h"
#include <QCursor>
#include <QDrag>
#include <QDragEnterEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QScrollBar>
#include <QWheelEvent>
#include <cstring>

namespace {
constexpr std::int32_t kObjectKind = 304;
constexpr std::int32_t kWindowlessId = 12111;
constexpr std::int32_t kChildId = 100;
constexpr std::int32_t PEP_PAINTING = PEP::Painting;
constexpr int kMinSize = 50;
constexpr int DLGC_WANTARROWS = 0x0001, DLGC_WANTALLKEYS = 0x0004;
} // namespace

PESGraph::PESGraph(QWidget* parent) : QWidget(parent)
{
    // The engine's image covers the whole control: nothing is erased under it.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
    setMinimumSize(kMinSize, kMinSize);
    setMouseTracking(true); // every move reaches the engine, pressed or not
    setAcceptDrops(true);   // OnDragOver decides what is taken
    vertBar_ = new QScrollBar(Qt::Vertical, this);
    horzBar_ = new QScrollBar(Qt::Horizontal, this);
    for (QScrollBar* bar : {vertBar_, horzBar_}) {
        bar->setRange(0, 0);
        bar->hide();
        const bool vertical = bar == vertBar_;
        connect(bar, &QScrollBar::actionTriggered, this, [this, vertical](int action) { OwnBarAction(vertical, action); });
        connect(bar, &QScrollBar::sliderReleased, this, [this, vertical] {
            OwnBarAction(vertical, -1);
        });
    }
    window_ = RegisterWindow(this);
    PaintRect = TRect{0, 0, 300, 300};
    hObject = GraphEngine().Create(kObjectKind, 0, &PaintRect, 0, kWindowlessId);
}

PESGraph::~PESGraph()
{
    if (hObject != 0) {
        GraphEngine().Destroy(hObject);
        hObject = 0;
        Created = false;
    }
    UnregisterWindow(window_);
}

void PESGraph::Loaded()
{
    IGraphEngine& e = GraphEngine();
    e.Reinitialize(hObject);
    e.ResetImage(hObject, 0, 0);
    update();
}

void PESGraph::HandleNeeded()
{
    if (!windowMade_)
        WMCreate();
}

void PESGraph::WMCreate()
{
    windowMade_ = true;
    IGraphEngine& e = GraphEngine();
    PaintRect = TRect{0, 0, width(), height()};
    const TEngineHandle child = e.Create(hObject, 0, &PaintRect, window_, kChildId);
    if (child == 0)
        return; // the window-less object stays in use
    e.SetInt(child, PEP_NOTIFYWINDOW, window_);
    // The first object is referred to no more; it goes rather than leak.
    if (hObject != 0)
        e.Destroy(hObject);
    hObject = child;
    e.Reinitialize(hObject);
    e.ResetImage(hObject, 0, 0);
    Created = true;
    e.ShowWindow(hObject, false);
}

void PESGraph::ResetandInvalidate()
{
    if (!designing_ || !Created)
        return;
    IGraphEngine& e = GraphEngine();
    e.Reinitialize(hObject);
    e.ResetImage(hObject, 0, 0);
    update();
}

bool PESGraph::FileNameToBuffer() { return ToStringBuffer(PEstrarg1); }

void PESGraph::SetPEactions(ePEactions action)
{
    IGraphEngine& e = GraphEngine();
    const TEngineHandle h = hObject;
    TActionPair pair{PEnarg1, PEnarg2};
    switch (action) {
    case sgReinitAndReset: e.Reinitialize(h); e.ResetImage(h, 0, 0); update(); break;
    case sgReinitialize: e.Reinitialize(h); break;
    case sgResetImage: e.ResetImage(h, PEnarg1, PEnarg2); break;
    case sgInvalidateImage: update(); break;
    case sgMaximize: e.Maximize(h); break;
    case sgCustomize: e.Customize(h); break;
    case sgExportDialog: e.ExportDialog(h); break;
    case sgTextExportDialog: if (FileNameToBuffer()) e.TextExportDialog(h, PEnarg1, StringBuffer); break;
    case sgPrintDialog: e.PrintDialog(h, PEnarg1 == 0 && PEnarg2 == 0 ? 1 : 0, &pair); break;
    case sgColorDialog: e.ColorDialog(h); break;
    case sgFontDialog: e.FontDialog(h); break;
    case sgPopupMenu: e.PopupMenu(h, &pair); break;
    case sgMetaToClip: e.MetaToClip(h, &pair); break;
    case sgMetaToFile: if (FileNameToBuffer()) e.MetaToFile(h, &pair, StringBuffer); break;
    case sgBmpToClip: e.BmpToClip(h, &pair); break;
    case sgBmpToFile: if (FileNameToBuffer()) e.BmpToFile(h, &pair, StringBuffer); break;
    case sgOleToClip: e.OleToClip(h, &pair); break;
    case sgReinitCustoms: e.ReinitCustoms(h); break;
    case sgPrintGraph: e.PrintGraph(h, 0, 0, 0, e.GetInt(h, PEP::DefOrientation)); break;
    case sgUndoZoom: e.SendMessage(h, WM_COMMAND, PECMD_UNDOZOOM, 0); break;
    case sgReset: e.Reset(h); break;
    case sgJpegToClip: e.JpegToClip(h, &pair); break;
    case sgJpegToFile: if (FileNameToBuffer()) e.JpegToFile(h, &pair, StringBuffer); break;
    case sgPngToClip: e.PngToClip(h, &pair); break;
    case sgPngToFile: if (FileNameToBuffer()) e.PngToFile(h, &pair, StringBuffer); break;
    default: break;
    }
}

int PESGraph::WMGetDlgCode() const
{
    return !designing_ && hObject != 0 ? DLGC_WANTARROWS | DLGC_WANTALLKEYS : 0;
}

bool PESGraph::event(QEvent* ev)
{
    // Tab and Backtab are keys of the graph rather than focus moves while it wants all keys.
    if (ev->type() == QEvent::KeyPress && (WMGetDlgCode() & DLGC_WANTALLKEYS)) {
        auto* key = static_cast<QKeyEvent*>(ev);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            keyPressEvent(key);
            return true;
        }
    }
    return QWidget::event(ev);
}

void PESGraph::showEvent(QShowEvent* ev)
{
    HandleNeeded();
    QWidget::showEvent(ev);
}

void PESGraph::resizeEvent(QResizeEvent* ev)
{
    WMSize();
    QWidget::resizeEvent(ev);
}

void PESGraph::PlaceScrollBars()
{
    const int extent = ScrollBarExtent();
    const QRect client = ClientRect();
    vertBar_->setGeometry(width() - extent, 0, extent, client.height());
    horzBar_->setGeometry(0, height() - extent, client.width(), extent);
}

QRect PESGraph::ClientRect() const
{
    // The scroll bars stand beside the client area, never over it. Which bars there are is the
    // engine's word, the same the image was drawn by, even before the bars have followed it.
    bool bar[2] = {false, false};
    if (hObject != 0)
        for (int which : {SB_HORZ, SB_VERT}) {
            std::int32_t min = 0, max = 0;
            GraphEngine().GetScrollRange(hObject, which, &min, &max);
            bar[which] = min == 1;
        }
    return QRect(QPoint(0, 0), ClientSizeOf(size(), bar[SB_HORZ], bar[SB_VERT]));
}

void PESGraph::WMSize()
{
    PlaceScrollBars();
    if (hObject == 0)
        return;
    const QRect r = frameGeometry();
    PaintRect = TRect{r.left(), r.top(), r.right() + 1, r.bottom() + 1};
    EngineWidth = std::max(kMinSize, PaintRect.Width());
    EngineHeight = std::max(kMinSize, PaintRect.Height());
    IGraphEngine& e = GraphEngine();
    e.MoveWindow(hObject, 0, 0, EngineWidth, EngineHeight, false);
    e.ShowWindow(hObject, false);
}

void PESGraph::paintEvent(QPaintEvent*) { WMPaint(); }

void PESGraph::WMPaint()
{
    QPainter dc(this);
    if (hObject == 0) {
        dc.fillRect(ClientRect(), palette().window());
        return;
    }
    IGraphEngine& e = GraphEngine();
    if (e.GetInt(hObject, PEP_PAINTING) != 0 && painting_) {
        update(); // a paint inside the running one: served once that one is done
        return;
    }
    // A Painting flag found outside a paint of ours was left by a paint that failed: paint over it.
    painting_ = true;
    e.SetInt(hObject, PEP_PAINTING, 1);
    const TEngineHandle h = hObject;
    struct TPaintEnd {
        PESGraph* self;
        IGraphEngine& e;
        TEngineHandle h;
        ~TPaintEnd()
        {
            e.SetInt(h, PEP_PAINTING, 0);
            self->painting_ = false;
        }
    } end{this, e, h};
    try {
        PaintImage(dc);
    } catch (...) {
        // What the image could not draw stays as it is; the next paint tries again.
    }
}

void PESGraph::PaintImage(QPainter& dc)
{
    IGraphEngine& e = GraphEngine();
    const TEngineHandle h = hObject;
    // The image is held here for the whole paint: nothing a handler does meanwhile frees it.
    const QImage* meta = e.GetMeta(h);
    const QImage image = meta ? *meta : QImage();
    const QImage* const imageMetafile = meta ? &image : nullptr;
    const QRect client = ClientRect();
    PaintRect = TRect{0, 0, client.width(), client.height()};
    PrepareImagesFlag = e.GetInt(h, PEP::PrepareImages);
    ImageChanged = e.GetInt(h, PEP_IMAGECHANGED);
    CacheBmpFlag = e.GetInt(h, PEP::CacheBmp);

    auto playImage = [this, imageMetafile](QPainter& target) {
        if (!imageMetafile)
            return;
        target.drawImage(QRect(0, 0, PaintRect.Right, PaintRect.Bottom), *imageMetafile);
    };

    QImage ownBitmap;
    QImage* MemBitmap = nullptr;
    bool haveMemDC = false;
    if (PrepareImagesFlag) {
        if (CacheBmpFlag) {
            if (e.GetInt(h, PEP_CACHEBMP) == 0 || ImageChanged)
                e.ResetCacheBmp(h);
            haveMemDC = e.GetInt(h, PEP_CACHEDC) != 0;
        } else {
            ownBitmap = QImage(std::max(1, PaintRect.Right), std::max(1, PaintRect.Bottom), QImage::Format_RGB32);
            haveMemDC = !ownBitmap.isNull();
        }
    }
    if (PrepareImagesFlag && haveMemDC) {
        MemBitmap = CacheBmpFlag ? BitmapFromHandle(e.GetInt(h, PEP_CACHEBMP)) : &ownBitmap;
        if (MemBitmap && !MemBitmap->isNull()) {
            {
                QPainter MemDC(MemBitmap);
                if (!CacheBmpFlag || ImageChanged) {
                    e.PrepareMemDC(h, &dc, &MemDC, &PaintRect);
                    playImage(MemDC);
                }
            }
            dc.drawImage(QPoint(0, 0), *MemBitmap, QRect(0, 0, PaintRect.Right, PaintRect.Bottom));
            ImageChanged = 0;
            e.SetInt(h, PEP_IMAGECHANGED, 0);
        }
    } else {
        if (!imageMetafile)
            dc.fillRect(client, palette().window());
        playImage(dc);
    }

    if (hasFocus() && e.GetInt(h, PEP::FocalRect) != 0) {
        dc.save();
        dc.setCompositionMode(QPainter::RasterOp_NotDestination);
        dc.setPen(QPen(Qt::black, 1));
        FocusFrame[0] = QPoint(PaintRect.Left, PaintRect.Top);
        FocusFrame[1] = QPoint(PaintRect.Right - 1, PaintRect.Top);
        FocusFrame[2] = QPoint(PaintRect.Right - 1, PaintRect.Bottom - 1);
        FocusFrame[3] = QPoint(PaintRect.Left, PaintRect.Bottom - 1);
        FocusFrame[4] = FocusFrame[0];
        dc.drawPolyline(FocusFrame, 5);
        dc.restore();
    }
    e.FinalPaint(h, &dc, 0);
}

namespace {

std::uintptr_t KeyState(Qt::MouseButtons buttons, Qt::KeyboardModifiers mods)
{
    std::uintptr_t w = 0;
    if (buttons & Qt::LeftButton) w |= MK_LBUTTON;
    if (buttons & Qt::RightButton) w |= MK_RBUTTON;
    if (buttons & Qt::MiddleButton) w |= MK_MBUTTON;
    if (mods & Qt::ShiftModifier) w |= MK_SHIFT;
    if (mods & Qt::ControlModifier) w |= MK_CONTROL;
    return w;
}

std::intptr_t PointParam(const QPoint& p)
{
    return std::intptr_t(std::uint32_t(std::uint16_t(p.x())) | std::uint32_t(std::uint16_t(p.y())) << 16);
}

// The virtual-key code of a Qt key; 0 for keys that have none here.
int VirtualKey(int key)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return 'A' + (key - Qt::Key_A);
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return '0' + (key - Qt::Key_0);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return 0x70 + (key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Backspace: return 0x08;
    case Qt::Key_Tab: case Qt::Key_Backtab: return 0x09;
    case Qt::Key_Return: case Qt::Key_Enter: return 0x0D;
    case Qt::Key_Shift: return 0x10;
    case Qt::Key_Control: return 0x11;
    case Qt::Key_Alt: return 0x12;
    case Qt::Key_Escape: return 0x1B;
    case Qt::Key_Space: return 0x20;
    case Qt::Key_PageUp: return 0x21;
    case Qt::Key_PageDown: return 0x22;
    case Qt::Key_End: return 0x23;
    case Qt::Key_Home: return 0x24;
    case Qt::Key_Left: return 0x25;
    case Qt::Key_Up: return 0x26;
    case Qt::Key_Right: return 0x27;
    case Qt::Key_Down: return 0x28;
    case Qt::Key_Insert: return 0x2D;
    case Qt::Key_Delete: return 0x2E;
    default: return 0;
    }
}

std::uint16_t LoWord(std::uintptr_t w) { return std::uint16_t(w & 0xFFFF); }
std::uint16_t HiWord(std::uintptr_t w) { return std::uint16_t(w >> 16 & 0xFFFF); }

} // namespace

void PESGraph::Forward(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam)
{
    GraphEngine().SendMessage(hObject, msg, wParam, lParam);
}

void PESGraph::mouseMoveEvent(QMouseEvent* e)
{
    const std::uintptr_t w = KeyState(e->buttons(), e->modifiers());
    const std::intptr_t l = PointParam(e->position().toPoint());
    LastMessage = {WM_MOUSEMOVE, w, l, 0};
    // Only a move that changed the key state or the place costs the engine anything.
    if (!designing_ && hObject != 0 && (w != LastMouseWParam || l != LastMouseLParam)) {
        Forward(WM_MOUSEMOVE, w, l);
        LastMouseWParam = w;
        LastMouseLParam = l;
    }
    if (OnMouseMove)
        OnMouseMove(this, e->modifiers(), int(e->position().x()), int(e->position().y()));
    QWidget::mouseMoveEvent(e);
}

void PESGraph::InheritedMouseDown(QMouseEvent* e, bool dblClick)
{
    if (dblClick) {
        if (OnDblClick)
            OnDblClick(this);
    } else {
        clickPending_ = e->button() == Qt::LeftButton;
    }
    if (OnMouseDown)
        OnMouseDown(this, e->button(), e->modifiers(), int(e->position().x()), int(e->position().y()));
}

void PESGraph::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton || designing_ || hObject == 0) {
        // No engine object: nothing is forwarded and no record is read.
        InheritedMouseDown(e, false);
        return;
    }
    const std::uintptr_t w = KeyState(e->buttons(), e->modifiers());
    const std::intptr_t l = PointParam(e->position().toPoint());
    LastMessage = {WM_LBUTTONDOWN, w, l, 0};
    Forward(WM_LBUTTONDOWN, w, l);
    HotSpotDispatch(0, e, w);
}

void PESGraph::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton || designing_ || hObject == 0) {
        // Only the left button's double click is a double click of the control.
        InheritedMouseDown(e, e->button() == Qt::LeftButton);
        return;
    }
    const std::uintptr_t w = KeyState(e->buttons(), e->modifiers());
    const std::intptr_t l = PointParam(e->position().toPoint());
    LastMessage = {WM_LBUTTONDBLCLK, w, l, 0};
    Forward(WM_LBUTTONDBLCLK, w, l);
    HotSpotDispatch(1, e, w);
}

void PESGraph::mouseReleaseEvent(QMouseEvent* e)
{
    const std::uintptr_t w = KeyState(e->buttons(), e->modifiers());
    const std::intptr_t l = PointParam(e->position().toPoint());
    if (!designing_ && hObject != 0) {
        if (e->button() == Qt::LeftButton) {
            LastMessage = {WM_LBUTTONUP, w, l, 0};
            Forward(WM_LBUTTONUP, w, l);
        } else if (e->button() == Qt::RightButton) {
            // The engine takes its menu on the press, which it receives at the release.
            LastMessage = {WM_RBUTTONUP, w, l, 0};
            Forward(WM_RBUTTONDOWN, w, l);
        }
    }
    if (OnMouseUp)
        OnMouseUp(this, e->button(), e->modifiers(), int(e->position().x()), int(e->position().y()));
    if (e->button() == Qt::LeftButton && clickPending_ && rect().contains(e->position().toPoint()) && OnClick)
        OnClick(this);
    if (e->button() == Qt::LeftButton)
        clickPending_ = false;
}

void PESGraph::HotSpotDispatch(int dbl, QMouseEvent* e, std::uintptr_t keys)
{
    // The press's own key state: the engine's notifications during the press overwrite LastMessage.
    if (keys & (MK_RBUTTON | MK_SHIFT | MK_CONTROL | MK_MBUTTON)) {
        InheritedMouseDown(e, dbl);
        return;
    }
    IGraphEngine& engine = GraphEngine();
    THotSpotRecord hs{};
    engine.GetV(hObject, PEP_HOTSPOT, &hs);
    const int first = hs.First, second = hs.Second;
    switch (hs.Type) {
    case 1: if (OnSubsetHotSpot) OnSubsetHotSpot(this, dbl, first); return;
    case 3: {
        TGraphPointRecord gp{};
        engine.GetV(hObject, PEP_GRAPHPOINT, &gp);
        if (OnGraphHotSpot) OnGraphHotSpot(this, dbl, gp.Axis, gp.X, gp.Y);
        return;
    }
    case 5: if (OnDataHotSpot) OnDataHotSpot(this, dbl, first, second); return;
    case 6: if (OnGraphAnnotHotSpot) OnGraphAnnotHotSpot(this, dbl, first); return;
    case 7: if (OnXAxisAnnotHotSpot) OnXAxisAnnotHotSpot(this, dbl, first); return;
    case 8: if (OnYAxisAnnotHotSpot) OnYAxisAnnotHotSpot(this, dbl, first); return;
    case 9: if (OnHorzLineAnnotHotSpot) OnHorzLineAnnotHotSpot(this, dbl, first); return;
    case 10: if (OnVertLineAnnotHotSpot) OnVertLineAnnotHotSpot(this, dbl, first); return;
    case 11: if (OnMainTitle) OnMainTitle(this, dbl); return;
    case 12: if (OnSubTitle) OnSubTitle(this, dbl); return;
    case 13: if (OnMultiSubTitle) OnMultiSubTitle(this, dbl, first, second); return;
    case 14: if (OnMultiBottomTitle) OnMultiBottomTitle(this, dbl, first, second); return;
    case 15: if (OnYAxisLabel) OnYAxisLabel(this, dbl, first, second); return;
    case 16: if (OnXAxisLabel) OnXAxisLabel(this, dbl, first); return;
    case 17:
    case 18:
        if (hs.Type == 17 ? bool(OnYAxis) : bool(OnXAxis)) {
            TPoint pixel{};
            engine.GetV(hObject, PEP_HOTSPOTPIXEL, &pixel);
            std::int32_t axis = hs.Type == 17 ? first : 0;
            double x = 0, y = 0;
            engine.ConvPixelToGraph(hObject, &axis, &pixel.X, &pixel.Y, &x, &y, hs.Type == 17 ? second : 0,
                                    hs.Type == 18 ? first : 0, 0);
            if (hs.Type == 17)
                OnYAxis(this, dbl, first, second, y);
            else
                OnXAxis(this, dbl, first, x);
        }
        return;
    case 19: case 20: case 21: case 22: {
        double number = 0;
        engine.GetVCell(hObject, PEP::GridHotSpotValue, second, &number);
        static constexpr int kType[] = {1, 2, 0, 3};
        if (OnGridNumber) OnGridNumber(this, dbl, kType[hs.Type - 19], first, number);
        return;
    }
    default:
        if (hs.Type >= 23 && hs.Type <= 42) {
            if (OnTableAnnotation) OnTableAnnotation(this, dbl, hs.Type - 23, first, second);
            return;
        }
        InheritedMouseDown(e, dbl); // no hot spot, or one the control does not know
        return;
    }
}

void PESGraph::keyPressEvent(QKeyEvent* e)
{
    int key = VirtualKey(e->key());
    if (OnKeyDown)
        OnKeyDown(this, key, e->modifiers());
    if (!designing_ && hObject != 0) {
        LastMessage = {WM_KEYDOWN, std::uintptr_t(key), 1, 0};
        Forward(WM_KEYDOWN, std::uintptr_t(key), 1);
    }
    // The characters the key typed follow the key itself; Delete types none.
    if (OnKeyPress)
        for (QChar c : e->text())
            if (c != QChar(0x7F)) {
                QChar typed = c;
                OnKeyPress(this, typed);
            }
}

void PESGraph::keyReleaseEvent(QKeyEvent* e)
{
    int key = VirtualKey(e->key());
    if (OnKeyUp)
        OnKeyUp(this, key, e->modifiers());
    if (!designing_ && hObject != 0) {
        const std::intptr_t l = std::intptr_t(0xC0000001u);
        LastMessage = {WM_KEYUP, std::uintptr_t(key), l, 0};
        Forward(WM_KEYUP, std::uintptr_t(key), l);
    }
}

void PESGraph::wheelEvent(QWheelEvent* e)
{
    // Only a turn of the vertical wheel is the engine's: a sideways one has no distance to give.
    if (hObject == 0 || e->angleDelta().y() == 0) {
        QWidget::wheelEvent(e);
        return;
    }
    if (isVisible())
        setFocus(Qt::MouseFocusReason); // what is pending is painted once, with what follows
    const std::uintptr_t w = KeyState(e->buttons(), e->modifiers())
                             | std::uintptr_t(std::uint16_t(std::int16_t(e->angleDelta().y()))) << 16;
    LastMessage = {WM_MOUSEWHEEL, w, 0, 0};
    Forward(WM_MOUSEWHEEL, w, 0); // the pointer's place is not passed on
    e->accept();
}

void PESGraph::FocusChanged()
{
    // Only the ring where the focus frame goes is repainted; the base handlers would repaint it all.
    const QRect outer = ClientRect();
    update(QRegion(outer).xored(QRegion(outer.adjusted(2, 2, -2, -2))));
}

void PESGraph::focusInEvent(QFocusEvent* e)
{
    FocusChanged();
    e->accept();
    if (OnEnter)
        OnEnter(this);
}

void PESGraph::focusOutEvent(QFocusEvent* e)
{
    FocusChanged();
    e->accept();
    if (OnExit)
        OnExit(this);
}

void PESGraph::OwnBarAction(bool vertical, int action)
{
    QScrollBar* bar = vertical ? vertBar_ : horzBar_;
    std::uint32_t code;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub: code = SB_LINEUP; break;
    case QAbstractSlider::SliderSingleStepAdd: code = SB_LINEDOWN; break;
    case QAbstractSlider::SliderPageStepSub: code = SB_PAGEUP; break;
    case QAbstractSlider::SliderPageStepAdd: code = SB_PAGEDOWN; break;
    case QAbstractSlider::SliderMove: code = SB_THUMBTRACK; break;
    case QAbstractSlider::SliderToMinimum: code = SB_TOP; break;
    case QAbstractSlider::SliderToMaximum: code = SB_BOTTOM; break;
    case -1: code = SB_THUMBPOSITION; break; // the thumb let go
    default: return;
    }
    const std::uintptr_t w = code | std::uintptr_t(std::uint16_t(bar->sliderPosition())) << 16;
    WMScroll(vertical, w, 0);
}

void PESGraph::WMScroll(bool vertical, std::uintptr_t wParam, std::intptr_t lParam)
{
    if (isVisible())
        setFocus(Qt::OtherFocusReason); // pending repaints merge into one
    LastMessage = {vertical ? WM_VSCROLL : WM_HSCROLL, wParam, lParam, 0};
    const std::uint16_t pos = HiWord(wParam), code = LoWord(wParam);
    if (hObject != 0 && lParam == hObject) {
        // The engine's view scrolled: the control's bar follows and the program hears of it.
        if (code == SB_ENDSCROLL)
            return;
        QScrollBar* bar = vertical ? vertBar_ : horzBar_;
        bar->setValue(pos);
        int copy = pos;
        const TScrollEvent& handler = vertical ? OnVertScroll : OnHorzScroll;
        if (handler)
            handler(this, TScrollCode(wParam & 0xFF), copy);
    } else if (hObject != 0) {
        Forward(vertical ? WM_VSCROLL : WM_HSCROLL, std::uintptr_t(code) | std::uintptr_t(pos) << 16, 0);
    }
}

void PESGraph::MirrorScrollBar(bool vertical)
{
    IGraphEngine& e = GraphEngine();
    const int which = vertical ? SB_VERT : SB_HORZ;
    QScrollBar* bar = vertical ? vertBar_ : horzBar_;
    ScrollMin = 0;
    ScrollMax = 0;
    e.GetScrollRange(hObject, which, &ScrollMin, &ScrollMax);
    if (ScrollMin == 1) {
        bar->setRange(ScrollMin, ScrollMax);
        ScrollPos = e.GetScrollPos(hObject, which);
        bar->setValue(ScrollPos);
        bar->show();
    } else {
        bar->setRange(0, 0);
        bar->setValue(0);
        bar->hide();
    }
}

void PESGraph::WMCommand(std::uintptr_t wParam, std::intptr_t lParam)
{
    // Notifications of our own engine object only; with none, nothing is read or raised.
    if (hObject == 0 || lParam != hObject)
        return;
    LastMessage = {WM_COMMAND, wParam, lParam, 0};
    auto raise = [this](const TNotifyEvent& handler) {
        if (handler)
            handler(this);
    };
    IGraphEngine& e = GraphEngine();
    switch (HiWord(wParam)) {
    case PEWN_CURSORMOVED: raise(OnCursorMoved); break;
    case PEWN_PARAMUPDATE:
        MirrorScrollBar(true);
        MirrorScrollBar(false);
        PlaceScrollBars();
        raise(OnParamUpdate);
        break;
    case PEWN_ZOOMIN: raise(OnZoomIn); break;
    case PEWN_ZOOMOUT: raise(OnZoomOut); break;
    case PEWN_PRECURSORMOVE: raise(OnPreCursorMove); break;
    case PEWN_CUSTOMIZEDLG: raise(OnCustomizeDlg); break;
    case PEWN_POPUPMENU: raise(OnPopupMenu); break;
    case PEWN_CUSTOMGRIDNUMBERS:
        if (OnCustomGridnumbers) {
            TGridNumberRecord record{};
            e.GetV(hObject, PEP_GRIDNUMBER, &record);
            std::string text(record.Text, strnlen(record.Text, sizeof record.Text));
            OnCustomGridnumbers(this, record.AxisType, record.AxisIndex, record.Number, text);
            // The record keeps 47 bytes and its zero, whatever the handler made of the text.
            std::memset(record.Text, 0, sizeof record.Text);
            std::memcpy(record.Text, text.data(), Utf8FitLength(text.data(), text.size(), sizeof record.Text - 1));
            e.SetV(hObject, PEP_GRIDNUMBER, &record, 1);
        }
        break;
    case PEWN_CUSTOMMENU:
        if (OnCustomMenu)
            OnCustomMenu(this, e.GetInt(hObject, PEP_MENUINDEX), e.GetInt(hObject, PEP_SUBMENUINDEX));
        break;
    case PEWN_PREHSCROLL: raise(OnPreHScroll); break;
    case PEWN_PREVSCROLL: raise(OnPreVScroll); break;
    default: break;
    }
}

std::intptr_t PESGraph::WindowProc(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam)
{
    switch (msg) {
    case WM_COMMAND: WMCommand(wParam, lParam); break;
    case WM_VSCROLL: WMScroll(true, wParam, lParam); break;
    case WM_HSCROLL: WMScroll(false, wParam, lParam); break;
    case PEWM_INVALIDATERECT:
        if (lParam == 0) {
            update();
        } else {
            const TRect* r = reinterpret_cast<const TRect*>(lParam);
            PaintRect = *r;
            update(QRect(r->Left, r->Top, r->Width(), r->Height()));
        }
        break;
    default: break;
    }
    return 0;
}

void PESGraph::DragOver(QDropEvent* e, TDragState state)
{
    dragSource_ = e->source();
    dragAt_ = e->position().toPoint();
    // Nothing is taken without a handler that says so.
    bool accept = bool(OnDragOver);
    if (OnDragOver)
        OnDragOver(this, dragSource_, dragAt_.x(), dragAt_.y(), state, accept);
    dropAccepted_ = accept;
    if (accept)
        e->acceptProposedAction();
    else if (state == dsDragEnter && OnDragOver)
        e->accept(); // the handler hears of every move, and may take a drop further on
    else
        e->ignore();
    if (!accept)
        e->setDropAction(Qt::IgnoreAction);
}

void PESGraph::dragEnterEvent(QDragEnterEvent* e) { DragOver(e, dsDragEnter); }

void PESGraph::dragMoveEvent(QDragMoveEvent* e) { DragOver(e, dsDragMove); }

void PESGraph::dragLeaveEvent(QDragLeaveEvent* e)
{
    e->accept();
    dropAccepted_ = false;
    bool accept = true; // nothing is dropped once it left, whatever the handler says
    if (OnDragOver)
        OnDragOver(this, dragSource_, dragAt_.x(), dragAt_.y(), dsDragLeave, accept);
    dragSource_ = nullptr;
}

void PESGraph::dropEvent(QDropEvent* e)
{
    const bool accepted = dropAccepted_;
    dropAccepted_ = false;
    dragSource_ = nullptr;
    if (!accepted) {
        e->ignore();
        return;
    }
    e->acceptProposedAction();
    if (OnDragDrop)
        OnDragDrop(this, e->source(), int(e->position().x()), int(e->position().y()));
}

void PESGraph::BeginDrag()
{
    auto* drag = new QDrag(this);
    drag->setMimeData(new QMimeData);
    const Qt::DropAction done = drag->exec(Qt::MoveAction | Qt::CopyAction);
    QObject* target = done == Qt::IgnoreAction ? nullptr : drag->target();
    QPoint at;
    if (auto* widget = qobject_cast<QWidget*>(target))
        at = widget->mapFromGlobal(QCursor::pos());
    drag->deleteLater();
    if (OnEndDrag)
        OnEndDrag(this, target, at.x(), at.y());
}
