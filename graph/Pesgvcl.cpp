#include "Pesgvcl.h"
#include "graph/engine/EngineProperties.h"
#include <QKeyEvent>
#include <QPainter>
#include <QPicture>

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

void PESGraph::WMSize()
{
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
        dc.fillRect(rect(), palette().window());
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
    ImageMetafile = e.GetMeta(h);
    PaintRect = TRect{0, 0, width(), height()};
    PrepareImagesFlag = e.GetInt(h, PEP::PrepareImages);
    ImageChanged = e.GetInt(h, PEP_IMAGECHANGED);
    CacheBmpFlag = e.GetInt(h, PEP::CacheBmp);

    auto playImage = [this](QPainter& target) {
        if (!ImageMetafile)
            return;
        const QRect frame = ImageMetafile->boundingRect();
        target.save();
        if (frame.width() > 0 && frame.height() > 0)
            target.scale(double(PaintRect.Right) / frame.width(), double(PaintRect.Bottom) / frame.height());
        target.drawPicture(0, 0, *ImageMetafile);
        target.restore();
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
        if (!ImageMetafile)
            dc.fillRect(rect(), palette().window());
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

std::intptr_t PESGraph::WindowProc(std::uint32_t, std::uintptr_t, std::intptr_t)
{
    return 0;
}
