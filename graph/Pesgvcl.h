#pragma once
#include "graph/PesgvclProperties.h"
#include <QPoint>
#include <QWidget>

// The actions that writing PEactions performs.
enum ePEactions : std::uint8_t {
    sgReinitAndReset, sgReinitialize, sgResetImage, sgInvalidateImage, sgMaximize, sgCustomize,
    sgExportDialog, sgTextExportDialog, sgPrintDialog, sgColorDialog, sgFontDialog, sgPopupMenu,
    sgMetaToClip, sgMetaToFile, sgBmpToClip, sgBmpToFile, sgOleToClip, sgReinitCustoms, sgPrintGraph,
    sgUndoZoom, sgReset, sgJpegToClip, sgJpegToFile, sgPngToClip, sgPngToFile,
};

// The windowed graph control that hosts one object of the graph engine. The object keeps the
// graph's settings and data; the control paints the engine's image and offers the accessors of
// every property (TPESGraphProperties) and the actions (PEactions).
//
// The engine object is made with the control, without a window, so that stored property values
// can be written at once; when the control's window comes into being (first shown, or
// HandleNeeded) the object is re-created as a child of that window with the same values.
// Property writes never redraw at run time: write PEactions afterwards.
class PESGraph : public QWidget, public TPESGraphProperties, private IMessageTarget {
    Q_OBJECT
public:
    explicit PESGraph(QWidget* parent = nullptr);
    ~PESGraph() override;

    // The stored values have been read: re-initialise and rebuild the image.
    void Loaded();
    // Makes the control's window now (it is otherwise made when first shown).
    void HandleNeeded();
    void ResetandInvalidate() override;
    TEngineHandle GethObject() const { return hObject; }
    bool IsCreated() const { return Created; }
    TWindowHandle WindowHandle() const { return window_; }

    // A design environment's state: property setters redraw and input is not forwarded.
    void SetDesigning(bool designing) { designing_ = designing; }
    bool Designing() const { return designing_; }

    ePEactions GetPEactions() const { return peActions_; }
    void SetPEactions(ePEactions action);
    std::int32_t GetPEnarg1() const { return PEnarg1; }
    void SetPEnarg1(std::int32_t value) { PEnarg1 = value; }
    std::int32_t GetPEnarg2() const { return PEnarg2; }
    void SetPEnarg2(std::int32_t value) { PEnarg2 = value; }
    QString GetPEstrarg1() const { return PEstrarg1; }
    void SetPEstrarg1(const QString& value) { PEstrarg1 = value; }

    // The result the control gives to a dialog's key navigation: all keys and arrows are its own
    // while it holds an engine object.
    int WMGetDlgCode() const;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    TEngineHandle EngineHandle() const override { return hObject; }

private:
    std::intptr_t WindowProc(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) override;
    void WMCreate();
    void WMPaint();
    void PaintImage(QPainter& dc);
    void WMSize();
    // Copies PEstrarg1 into StringBuffer for an action that takes a file name; a name that does
    // not fit is refused rather than cut, which would name another file.
    bool FileNameToBuffer();

    TRect PaintRect;
    TEngineHandle hObject = 0;
    const QPicture* ImageMetafile = nullptr;
    std::int32_t ImageChanged = 0;
    std::int32_t PrepareImagesFlag = 0;
    std::int32_t CacheBmpFlag = 0;
    std::int32_t EngineWidth = 0, EngineHeight = 0;
    QPoint FocusFrame[5];
    bool Created = false;
    std::int32_t PEnarg1 = 0, PEnarg2 = 0;
    QString PEstrarg1;

    ePEactions peActions_ = sgReinitAndReset;
    TWindowHandle window_ = 0;
    bool designing_ = false;
    bool painting_ = false;
    bool windowMade_ = false;
};
