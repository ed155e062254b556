#include "PEEngine.h"
#include "GraphRender.h"
#include "platform/Dialogs.h"
#include <QClipboard>
#include <QGuiApplication>
#include <QPainter>
#include <QPrinter>
#include <cstring>
#include <new>

TPEEngine& OwnGraphEngine()
{
    static TPEEngine engine;
    return engine;
}

namespace {
IGraphEngine* current = nullptr;

// The object's window less its own scroll bars: the size of its image.
QSize ClientSize(const TGraphObject& o)
{
    return ClientSizeOf(QSize(o.Rect.Width(), o.Rect.Height()), o.Ui.HorzBar, o.Ui.VertBar).expandedTo(QSize(1, 1));
}
} // namespace

IGraphEngine& GraphEngine() { return current ? *current : OwnGraphEngine(); }

IGraphEngine* SetGraphEngine(IGraphEngine* engine)
{
    IGraphEngine* previous = &GraphEngine();
    current = engine;
    return previous;
}

TGraphObject* TPEEngine::Object(TEngineHandle h)
{
    const auto it = objects_.find(h);
    return it == objects_.end() ? nullptr : it->second.get();
}

TEngineHandle TPEEngine::Create(std::int32_t kindOrSource, std::int32_t, const TRect* rect, TWindowHandle parent,
                                std::int32_t)
{
    const TRect r = rect ? *rect : TRect{};
    std::unique_ptr<TGraphObject> o;
    if (const TGraphObject* source = Object(kindOrSource)) {
        // A copy starts with the source's properties and data, never with its image or bitmap.
        o = std::make_unique<TGraphObject>(*source);
        o->Rect = r;
        o->Image = QImage();
        o->Spare = QImage();
        o->Layout = TGraphLayout{};
        o->Cache = QImage();
        o->CacheHandle = 0;
        for (std::int32_t id : {PEP_CACHEBMP, PEP_CACHEDC, PEP_IMAGECHANGED})
            o->WriteScalar(*FindEngineProperty(id), "\0\0\0\0");
    } else {
        o = std::make_unique<TGraphObject>(kindOrSource, r);
    }
    std::int32_t notify = parent;
    o->WriteScalar(*FindEngineProperty(PEP_NOTIFYWINDOW), &notify);
    const TEngineHandle h = ++next_;
    o->Handle = h;
    objects_[h] = std::move(o);
    return h;
}

void TPEEngine::Destroy(TEngineHandle h)
{
    const auto it = objects_.find(h);
    if (it == objects_.end())
        return;
    if (it->second->CacheHandle)
        ReleaseBitmap(it->second->CacheHandle);
    stale_.erase(h);
    if (drawing_ > 0)
        destroyed_.push_back(std::move(it->second));
    objects_.erase(it);
}

void TPEEngine::Reinitialize(TEngineHandle) {}

void TPEEngine::Rebuild(TGraphObject& o)
{
    // A handler raised while the image is drawn may ask for another image (a resize, an action, a
    // zoom). That one waits: the running drawing finishes first, then another follows, which shows
    // whatever the handlers changed, and so on while they keep asking. Handlers that ask every
    // time would never let it end: after a few, the last request is left to the next paint.
    const TEngineHandle handle = o.Handle;
    if (building_.count(handle)) {
        rebuildAsked_.insert(handle);
        return;
    }
    struct TBuilding {
        TPEEngine& e;
        TEngineHandle h;
        ~TBuilding()
        {
            e.building_.erase(h);
            e.rebuildAsked_.erase(h);
        }
    } building{*this, handle};
    building_.insert(handle);
    stale_.erase(handle);
    DrawImage(o);
    constexpr int kFollowUps = 3;
    for (int followUps = 0; rebuildAsked_.erase(handle) != 0; ++followUps) {
        TGraphObject* alive = Object(handle);
        if (!alive)
            return;
        if (followUps == kFollowUps) {
            stale_.insert(handle);
            Repaint(handle);
            return;
        }
        DrawImage(*alive);
    }
}

void TPEEngine::DrawImage(TGraphObject& o)
{
    const QSize client = ClientSize(o);
    const int w = client.width(), h = client.height();
    // Custom grid numbers: the control's window is asked for each text through the record.
    const TEngineHandle handle = o.Handle;
    const TGridLabelFn custom = [this, handle](int axisType, double value, const QString& text) {
        TGraphObject* obj = Object(handle);
        if (!obj)
            return text;
        TGridNumberRecord r{axisType, 0, value, {}};
        const QByteArray bytes = text.toUtf8();
        std::memcpy(r.Text, bytes.constData(), Utf8FitLength(bytes.constData(), std::size_t(bytes.size()), sizeof r.Text - 1));
        obj->WriteScalar(*FindEngineProperty(PEP_GRIDNUMBER), &r);
        Notify(handle, PEWN_CUSTOMGRIDNUMBERS);
        if (!(obj = Object(handle)))
            return text;
        obj->ReadScalar(*FindEngineProperty(PEP_GRIDNUMBER), &r);
        return QString::fromUtf8(r.Text, qsizetype(strnlen(r.Text, sizeof r.Text)));
    };
    // The image and its layout are drawn aside and replace the shown ones together at the end, so
    // that the picture being painted and the one clicks are mapped against never part.
    // The image before the shown one is drawn over again when nothing else holds it any more.
    QImage image = std::move(o.Spare);
    if (image.size() != QSize(w, h) || !image.isDetached())
        image = QImage(w, h, QImage::Format_ARGB32_Premultiplied);
    TGraphLayout layout;
    bool drawn = !image.isNull();
    if (drawn) {
        struct TDrawing {
            TPEEngine& e;
            explicit TDrawing(TPEEngine& engine) : e(engine) { ++e.drawing_; }
            ~TDrawing()
            {
                if (--e.drawing_ == 0)
                    e.destroyed_.clear();
            }
        } drawing(*this);
        try {
            QPainter p(&image);
            RenderGraph(o, p, w, h, layout, custom);
        } catch (const std::bad_alloc&) {
            drawn = false;
        }
    }
    TGraphObject* alive = Object(handle);
    if (!alive)
        return;
    const std::int32_t one = 1;
    alive->WriteScalar(*FindEngineProperty(PEP_IMAGECHANGED), &one);
    if (!drawn) {
        // The memory cannot hold the image at this size: the window shows none (nor a click
        // maps through an old one), its memory goes back, and the next paint tries again.
        alive->Image = QImage();
        alive->Spare = QImage();
        alive->Layout = TGraphLayout{};
        stale_.insert(handle);
        return;
    }
    std::swap(alive->Image, image);
    alive->Spare = std::move(image);
    alive->Layout = layout;
}

void TPEEngine::ResetImage(TEngineHandle h, std::int32_t, std::int32_t)
{
    if (TGraphObject* o = Object(h))
        Rebuild(*o);
}

const QImage* TPEEngine::GetMeta(TEngineHandle h)
{
    TGraphObject* o = Object(h);
    if (o && stale_.count(h) && !building_.count(h)) {
        Rebuild(*o);
        o = Object(h);
    }
    return o && !o->Image.isNull() ? &o->Image : nullptr;
}

void TPEEngine::PrepareMemDC(TEngineHandle h, QPainter*, QPainter* memDC, const TRect* rect)
{
    TGraphObject* o = Object(h);
    if (!o || !memDC || !rect)
        return;
    memDC->fillRect(QRect(rect->Left, rect->Top, rect->Width(), rect->Height()),
                    EngineColor(std::uint32_t(o->Int(PEP::DeskColor))));
}

void TPEEngine::ResetCacheBmp(TEngineHandle h)
{
    TGraphObject* o = Object(h);
    if (!o)
        return;
    const QSize client = ClientSize(*o);
    const int w = client.width(), hgt = client.height();
    o->Cache = QImage(w, hgt, QImage::Format_RGB32);
    o->Cache.fill(EngineColor(std::uint32_t(o->Int(PEP::DeskColor))));
    if (!o->Image.isNull() && !o->Cache.isNull()) {
        QPainter p(&o->Cache);
        p.drawImage(QRect(0, 0, w, hgt), o->Image);
    }
    if (!o->CacheHandle)
        o->CacheHandle = RegisterBitmap(&o->Cache);
    for (std::int32_t id : {PEP_CACHEBMP, PEP_CACHEDC})
        o->WriteScalar(*FindEngineProperty(id), &o->CacheHandle);
}


void TPEEngine::SetV(TEngineHandle h, std::int32_t id, const void* value, std::int32_t)
{
    TGraphObject* o = Object(h);
    const TEngineProperty* p = FindEngineProperty(id);
    if (o && p && value)
        o->WriteScalar(*p, value);
}

void TPEEngine::GetV(TEngineHandle h, std::int32_t id, void* buffer)
{
    TGraphObject* o = Object(h);
    const TEngineProperty* p = FindEngineProperty(id);
    if (o && p && buffer)
        o->ReadScalar(*p, buffer);
}

void TPEEngine::SetVCell(TEngineHandle h, std::int32_t id, std::int32_t i, const void* value)
{
    TGraphObject* o = Object(h);
    const TEngineProperty* p = FindEngineProperty(id);
    if (o && p && value)
        o->WriteElement(*p, i, value);
}

void TPEEngine::GetVCell(TEngineHandle h, std::int32_t id, std::int32_t i, void* buffer)
{
    TGraphObject* o = Object(h);
    const TEngineProperty* p = FindEngineProperty(id);
    if (o && p && buffer)
        o->ReadElement(*p, i, buffer);
}

void TPEEngine::SetInt(TEngineHandle h, std::int32_t id, std::int32_t value)
{
    TGraphObject* o = Object(h);
    const TEngineProperty* p = FindEngineProperty(id);
    if (o && p && p->Kind == TValueKind::Int)
        o->WriteScalar(*p, &value);
}

std::int32_t TPEEngine::GetInt(TEngineHandle h, std::int32_t id)
{
    TGraphObject* o = Object(h);
    const TEngineProperty* p = FindEngineProperty(id);
    std::int32_t v = 0;
    if (o && p && p->Kind == TValueKind::Int)
        o->ReadScalar(*p, &v);
    return v;
}

void TPEEngine::SetSz(TEngineHandle h, std::int32_t id, const char* text)
{
    TGraphObject* o = Object(h);
    const TEngineProperty* p = FindEngineProperty(id);
    if (o && p && text && p->Kind == TValueKind::Text)
        o->WriteScalar(*p, text);
}

void TPEEngine::GetSz(TEngineHandle h, std::int32_t id, char* buffer)
{
    TGraphObject* o = Object(h);
    const TEngineProperty* p = FindEngineProperty(id);
    if (o && p && buffer && p->Kind == TValueKind::Text)
        o->ReadScalar(*p, buffer);
}

void TPEEngine::SetVCellEx(TEngineHandle h, std::int32_t id, std::int32_t i, std::int32_t j, const void* value)
{
    TGraphObject* o = Object(h);
    const TEngineProperty* p = FindEngineProperty(id);
    if (o && p && value)
        o->WriteCell(*p, i, j, value);
}

void TPEEngine::GetVCellEx(TEngineHandle h, std::int32_t id, std::int32_t i, std::int32_t j, void* buffer)
{
    TGraphObject* o = Object(h);
    const TEngineProperty* p = FindEngineProperty(id);
    if (o && p && buffer)
        o->ReadCell(*p, i, j, buffer);
}

void TPEEngine::ConvPixelToGraph(TEngineHandle h, std::int32_t*, std::int32_t* x, std::int32_t* y, double* rx,
                                 double* ry, std::int32_t, std::int32_t, std::int32_t)
{
    TGraphObject* o = Object(h);
    if (!o || !o->Layout.Valid || !x || !y)
        return;
    const TGraphLayout& l = o->Layout;
    if (rx)
        *rx = l.XMin + (*x + 0.5 - l.Left) / (l.Right - l.Left) * (l.XMax - l.XMin);
    if (ry)
        *ry = l.YMin + (l.Bottom - *y - 0.5) / (l.Bottom - l.Top) * (l.YMax - l.YMin);
}

QImage TPEEngine::Render(TEngineHandle h, int width, int height)
{
    TGraphObject* o = Object(h);
    if (!o)
        return {};
    if (width <= 0 || height <= 0) {
        width = std::max(1, o->Rect.Width());
        height = std::max(1, o->Rect.Height());
    }
    width = std::min(width, 10000);
    height = std::min(height, 10000);
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull())
        return {}; // more than the memory holds
    try {
        QPainter p(&image);
        TGraphLayout layout;
        RenderGraph(*o, p, width, height, layout);
    } catch (const std::bad_alloc&) {
        return {};
    }
    return image;
}

bool TPEEngine::SaveImage(TEngineHandle h, const TActionPair* size, const char* fileName, const char* format)
{
    if (!Object(h) || !fileName || !*fileName)
        return false;
    const QImage image = Render(h, size ? size->First : 0, size ? size->Second : 0);
    if (image.isNull())
        return false; // the memory holds no image of that size: nothing is written
    int quality = -1;
    if (std::strcmp(format, "JPG") == 0) {
        const std::int32_t q = Object(h)->Int(PEP::JpgQuality);
        quality = q > 0 && q <= 100 ? q : -1;
    }
    return image.save(QString::fromUtf8(fileName, qsizetype(strnlen(fileName, PE_MAXTEXT))), format, quality);
}

void TPEEngine::BmpToFile(TEngineHandle h, const TActionPair* size, const char* fileName)
{
    SaveImage(h, size, fileName, "BMP");
}

void TPEEngine::JpegToFile(TEngineHandle h, const TActionPair* size, const char* fileName)
{
    SaveImage(h, size, fileName, "JPG");
}

void TPEEngine::PngToFile(TEngineHandle h, const TActionPair* size, const char* fileName)
{
    SaveImage(h, size, fileName, "PNG");
}

void TPEEngine::ToClipboard(TEngineHandle h, const TActionPair* size)
{
    if (!Object(h))
        return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return;
    // An image that cannot be made leaves the clipboard as it was.
    const QImage image = Render(h, size ? size->First : 0, size ? size->Second : 0);
    if (!image.isNull())
        clipboard->setImage(image);
}

void TPEEngine::ExportDialog(TEngineHandle h)
{
    if (!Object(h))
        return;
    TFileDialogRequest request;
    request.Title = QStringLiteral("Export");
    request.DefaultExt = QStringLiteral("png");
    request.Filter = QStringLiteral("PNG image (*.png)|*.png|Bitmap (*.bmp)|*.bmp|JPEG image (*.jpg)|*.jpg");
    request.OverwritePrompt = true;
    if (!Dialogs().SaveFile(request))
        return;
    const QByteArray name = request.FileName.toUtf8();
    const QString ext = request.FileName.section('.', -1).toLower();
    const char* format = ext == "bmp" ? "BMP" : ext == "jpg" || ext == "jpeg" ? "JPG" : "PNG";
    const std::string cut = name.left(PE_MAXTEXT).toStdString();
    SaveImage(h, nullptr, cut.c_str(), format);
}

void TPEEngine::Print(TGraphObject& o, QPrinter& printer)
{
    if (!printer.isValid())
        return;
    QPainter p;
    if (!p.begin(&printer))
        return;
    // The graph is laid out at its window's proportions and scaled to fill the page width.
    const int w = std::max(50, o.Rect.Width()), h = std::max(50, o.Rect.Height());
    const QRect page = p.viewport();
    const double scale = std::min(double(page.width()) / w, double(page.height()) / h);
    p.scale(scale, scale);
    TGraphLayout layout;
    try {
        RenderGraph(o, p, w, h, layout);
    } catch (const std::bad_alloc&) {
        // What the memory could not hold is left off the page.
    }
    p.end();
}

namespace {
void Orient(QPrinter& printer, std::int32_t orientation)
{
    if (orientation == sgLandscape)
        printer.setPageOrientation(QPageLayout::Landscape);
    else if (orientation == sgPortrait)
        printer.setPageOrientation(QPageLayout::Portrait);
}
} // namespace

void TPEEngine::PrintDialog(TEngineHandle h, std::int32_t, const TActionPair*)
{
    TGraphObject* o = Object(h);
    if (!o)
        return;
    // The dialog opens on the graph's orientation; what the user sets there is what prints.
    QPrinter printer;
    Orient(printer, o->Int(PEP::DefOrientation));
    if (Dialogs().PrintSetup(printer) && (o = Object(h)))
        Print(*o, printer);
}

void TPEEngine::PrintGraph(TEngineHandle h, std::int32_t, std::int32_t, std::int32_t, std::int32_t orientation)
{
    if (TGraphObject* o = Object(h)) {
        QPrinter printer;
        Orient(printer, orientation);
        Print(*o, printer);
    }
}

void TPEEngine::ShowWindow(TEngineHandle h, bool visible)
{
    if (TGraphObject* o = Object(h))
        o->Visible = visible;
}

void TPEEngine::MoveWindow(TEngineHandle h, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                           bool)
{
    TGraphObject* o = Object(h);
    if (!o)
        return;
    const bool resized = width != o->Rect.Width() || height != o->Rect.Height();
    o->Rect = TRect{x, y, x + width, y + height};
    // The image follows the window's size, so that a repaint never stretches an old one.
    if (resized && (!o->Image.isNull() || building_.count(h)))
        Rebuild(*o);
}
