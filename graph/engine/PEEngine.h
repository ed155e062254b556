#pragma once
#include "GraphEngine.h"
#include "GraphObject.h"
#include <map>
#include <memory>
#include <set>
#include <vector>

class QPrinter;

// Our graph engine: objects that keep every property by id and draw their graph with QPainter
// into a picture, which stands in for a metafile.
class TPEEngine : public IGraphEngine {
public:
    TEngineHandle Create(std::int32_t kindOrSource, std::int32_t reserved, const TRect* rect,
                         TWindowHandle parent, std::int32_t controlId) override;
    void Destroy(TEngineHandle h) override;
    void Reinitialize(TEngineHandle h) override;
    void ResetImage(TEngineHandle h, std::int32_t a, std::int32_t b) override;
    const QImage* GetMeta(TEngineHandle h) override;
    void PrepareMemDC(TEngineHandle h, QPainter* paintDC, QPainter* memDC, const TRect* rect) override;
    void ResetCacheBmp(TEngineHandle h) override;
    void FinalPaint(TEngineHandle h, QPainter* paintDC, std::int32_t reserved) override;

    void SetV(TEngineHandle h, std::int32_t id, const void* value, std::int32_t count) override;
    void GetV(TEngineHandle h, std::int32_t id, void* buffer) override;
    void SetVCell(TEngineHandle h, std::int32_t id, std::int32_t i, const void* value) override;
    void GetVCell(TEngineHandle h, std::int32_t id, std::int32_t i, void* buffer) override;
    void SetInt(TEngineHandle h, std::int32_t id, std::int32_t value) override;
    std::int32_t GetInt(TEngineHandle h, std::int32_t id) override;
    void SetSz(TEngineHandle h, std::int32_t id, const char* text) override;
    void GetSz(TEngineHandle h, std::int32_t id, char* buffer) override;
    void SetVCellEx(TEngineHandle h, std::int32_t id, std::int32_t i, std::int32_t j, const void* value) override;
    void GetVCellEx(TEngineHandle h, std::int32_t id, std::int32_t i, std::int32_t j, void* buffer) override;
    void ConvPixelToGraph(TEngineHandle h, std::int32_t* axis, std::int32_t* x, std::int32_t* y, double* rx,
                          double* ry, std::int32_t rightAxis, std::int32_t topAxis, std::int32_t reserved) override;

    void Customize(TEngineHandle) override {}
    void ExportDialog(TEngineHandle h) override;
    void Maximize(TEngineHandle) override {}
    void TextExportDialog(TEngineHandle, std::int32_t, const char*) override {}
    void PrintDialog(TEngineHandle h, std::int32_t fullPage, const TActionPair* size) override;
    void ColorDialog(TEngineHandle) override {}
    void FontDialog(TEngineHandle) override {}
    void PopupMenu(TEngineHandle, const TActionPair*) override {}
    void ReinitCustoms(TEngineHandle) override {}
    void MetaToClip(TEngineHandle, const TActionPair*) override {}
    void MetaToFile(TEngineHandle, const TActionPair*, const char*) override {}
    void BmpToClip(TEngineHandle h, const TActionPair* size) override { ToClipboard(h, size); }
    void BmpToFile(TEngineHandle h, const TActionPair* size, const char* fileName) override;
    void OleToClip(TEngineHandle, const TActionPair*) override {}
    void PrintGraph(TEngineHandle h, std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t orientation) override;
    void Reset(TEngineHandle) override {}
    void JpegToClip(TEngineHandle h, const TActionPair* size) override { ToClipboard(h, size); }
    void JpegToFile(TEngineHandle h, const TActionPair* size, const char* fileName) override;
    void PngToFile(TEngineHandle h, const TActionPair* size, const char* fileName) override;
    void PngToClip(TEngineHandle h, const TActionPair* size) override { ToClipboard(h, size); }

    std::intptr_t SendMessage(TEngineHandle h, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override;
    void ShowWindow(TEngineHandle h, bool visible) override;
    void MoveWindow(TEngineHandle h, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                    bool repaint) override;
    void GetScrollRange(TEngineHandle h, int bar, std::int32_t* min, std::int32_t* max) override;
    std::int32_t GetScrollPos(TEngineHandle h, int bar) override;

    // The object behind a handle, null for none (tests and the benchmark look inside).
    TGraphObject* Object(TEngineHandle h);
    std::size_t ObjectCount() const { return objects_.size(); }
    // The graph drawn at a size; 0 by 0 takes the object's own size. Null image for no object.
    QImage Render(TEngineHandle h, int width, int height);

private:
    void Rebuild(TGraphObject& o);
    void DrawImage(TGraphObject& o);
    bool SaveImage(TEngineHandle h, const TActionPair* size, const char* fileName, const char* format);
    void ToClipboard(TEngineHandle h, const TActionPair* size);
    void Print(TGraphObject& o, QPrinter& printer);
    void Notify(TEngineHandle h, std::uint16_t code);
    void Repaint(TEngineHandle h);
    void Press(TEngineHandle h, TGraphObject& o, std::uintptr_t keys, QPoint at, bool dblClick);
    void EndZoomFrame(TEngineHandle h, TGraphObject& o);
    void UndoZoom(TEngineHandle h, TGraphObject& o);
    void Scroll(TEngineHandle h, TGraphObject& o, bool vertical, std::uint32_t code, std::int32_t pos);
    void ScrollTo(TEngineHandle h, TGraphObject& o, bool vertical, std::uint32_t code, std::int32_t next);
    void ApplyScroll(TGraphObject& o);

    std::map<TEngineHandle, std::unique_ptr<TGraphObject>> objects_;
    // Objects destroyed by a handler while an image was being drawn go when the drawing ends.
    std::vector<std::unique_ptr<TGraphObject>> destroyed_;
    int drawing_ = 0;
    // Objects whose image is being drawn, and those of them asked for another image meanwhile.
    std::set<TEngineHandle> building_, rebuildAsked_;
    // Objects whose image fell behind their state: the next paint draws them anew.
    std::set<TEngineHandle> stale_;
    TEngineHandle next_ = 0x10000;
};

// Our engine, the one GraphEngine() gives unless a test installed another.
TPEEngine& OwnGraphEngine();
