#pragma once
#include "graph/PesgvclProperties.h"
#include <QPoint>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <string>

class QScrollBar;

// The actions that writing PEactions performs.
enum ePEactions : std::uint8_t {
    sgReinitAndReset, sgReinitialize, sgResetImage, sgInvalidateImage, sgMaximize, sgCustomize,
    sgExportDialog, sgTextExportDialog, sgPrintDialog, sgColorDialog, sgFontDialog, sgPopupMenu,
    sgMetaToClip, sgMetaToFile, sgBmpToClip, sgBmpToFile, sgOleToClip, sgReinitCustoms, sgPrintGraph,
    sgUndoZoom, sgReset, sgJpegToClip, sgJpegToFile, sgPngToClip, sgPngToFile,
};

enum TScrollCode : std::uint8_t {
    scLineUp, scLineDown, scPageUp, scPageDown, scPosition, scTrack, scTop, scBottom, scEndScroll,
};

// The control's events. Sender is the control; DblClick is 0 for a press and 1 for a double click.
using TNotifyEvent = std::function<void(QObject* Sender)>;
using TScrollEvent = std::function<void(QObject* Sender, TScrollCode ScrollCode, int& ScrollPos)>;
using TPreHScroll = TNotifyEvent;
using TPreVScroll = TNotifyEvent;
using TSubsetHotSpot = std::function<void(QObject* Sender, int DblClick, int SubsetIndex)>;
using TDataHotSpot = std::function<void(QObject* Sender, int DblClick, int SubsetIndex, int PointIndex)>;
using TGraphHotSpot = std::function<void(QObject* Sender, int DblClick, int AxisIndex, double Xval, double Yval)>;
using TAnnotHotSpot = std::function<void(QObject* Sender, int DblClick, int nIndex)>;
using TTitle = std::function<void(QObject* Sender, int DblClick)>;
using TMultiTitle = std::function<void(QObject* Sender, int DblClick, int nIndex, int nJustification)>;
using TYAxisLabel = std::function<void(QObject* Sender, int DblClick, int nAxis, int nRight)>;
using TXAxisLabelEvent = std::function<void(QObject* Sender, int DblClick, int nTop)>;
using TYAxis = std::function<void(QObject* Sender, int DblClick, int nAxis, int nRight, double Yval)>;
using TXAxis = std::function<void(QObject* Sender, int DblClick, int nTop, double Xval)>;
using TGridNumber2 = std::function<void(QObject* Sender, int DblClick, int nType, int nAxis, double dNumber)>;
using TTableAnnotation = std::function<void(QObject* Sender, int DblClick, int nIndex, int nRow, int nColumn)>;
// The text of a grid number, which the handler may change; the engine keeps at most 47 bytes.
using TCustomGridNumbers = std::function<void(QObject* Sender, int nAxisType, int nAxisIndex, double dNumber,
                                              std::string& szData)>;
using TCustomMenu = std::function<void(QObject* Sender, int MenuIndex, int SubmenuIndex)>;
// The class library's standard mouse and key events; Key is a virtual-key code the handler may change.
using TMouseEvent = std::function<void(QObject* Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(QObject* Sender, Qt::KeyboardModifiers Shift, int X, int Y)>;
using TKeyEvent = std::function<void(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift)>;
// A character typed on the control; the handler may change it.
using TKeyPressEvent = std::function<void(QObject* Sender, QChar& Key)>;
// Dragging over and onto the control, and the end of a drag that the control began. Source is the
// object dragged (null when it comes from outside the program), Target the one it was dropped on
// (null when the drag was given up); X and Y are in the coordinates of the control, or the target.
enum TDragState : std::uint8_t { dsDragEnter, dsDragLeave, dsDragMove };
using TDragOverEvent = std::function<void(QObject* Sender, QObject* Source, int X, int Y, TDragState State, bool& Accept)>;
using TDragDropEvent = std::function<void(QObject* Sender, QObject* Source, int X, int Y)>;
using TEndDragEvent = std::function<void(QObject* Sender, QObject* Target, int X, int Y)>;

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

    // Events raised from the engine's notifications and hot spots; one without a handler is not raised.
    TNotifyEvent OnParamUpdate;
    TScrollEvent OnVertScroll, OnHorzScroll;
    TNotifyEvent OnCursorMoved, OnZoomIn, OnZoomOut;
    TSubsetHotSpot OnSubsetHotSpot;
    TDataHotSpot OnDataHotSpot;
    TGraphHotSpot OnGraphHotSpot;
    TAnnotHotSpot OnGraphAnnotHotSpot, OnXAxisAnnotHotSpot, OnYAxisAnnotHotSpot, OnHorzLineAnnotHotSpot,
        OnVertLineAnnotHotSpot;
    TNotifyEvent OnPreCursorMove, OnCustomizeDlg, OnPopupMenu;
    TTitle OnMainTitle, OnSubTitle;
    TMultiTitle OnMultiSubTitle, OnMultiBottomTitle;
    TYAxisLabel OnYAxisLabel;
    TXAxisLabelEvent OnXAxisLabel;
    TYAxis OnYAxis;
    TXAxis OnXAxis;
    TCustomGridNumbers OnCustomGridnumbers;
    TTableAnnotation OnTableAnnotation;
    TCustomMenu OnCustomMenu;
    TPreHScroll OnPreHScroll;
    TPreVScroll OnPreVScroll;
    TGridNumber2 OnGridNumber;
    // Standard events of the class library, raised by the base handling.
    TNotifyEvent OnClick, OnDblClick, OnEnter, OnExit;
    TMouseEvent OnMouseDown, OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TKeyEvent OnKeyDown, OnKeyUp;
    TKeyPressEvent OnKeyPress;
    TDragOverEvent OnDragOver;
    TDragDropEvent OnDragDrop;
    TEndDragEvent OnEndDrag;

    // Drags the control; OnEndDrag tells where it went once the drag is over.
    void BeginDrag();

    // The control's own scroll bars, which follow the engine's.
    QScrollBar* VertScrollBar() const { return vertBar_; }
    QScrollBar* HorzScrollBar() const { return horzBar_; }
    // Messages that the control's window receives, as the engine sends them.
    std::intptr_t Perform(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) { return WindowProc(msg, wParam, lParam); }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
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

    struct TMessage {
        std::uint32_t Msg = 0;
        std::uintptr_t WParam = 0;
        std::intptr_t LParam = 0;
        std::intptr_t Result = 0;
    };
    void Forward(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam);
    void HotSpotDispatch(int dblClick, QMouseEvent* event, std::uintptr_t keys);
    void InheritedMouseDown(QMouseEvent* event, bool dblClick);
    void WMScroll(bool vertical, std::uintptr_t wParam, std::intptr_t lParam);
    void WMCommand(std::uintptr_t wParam, std::intptr_t lParam);
    void MirrorScrollBar(bool vertical);
    void PlaceScrollBars();
    // The window less its scroll bars: where the image goes.
    QRect ClientRect() const;
    void FocusChanged();
    void OwnBarAction(bool vertical, int action);
    void DragOver(QDropEvent* event, TDragState state);

    TRect PaintRect;
    TEngineHandle hObject = 0;
    std::int32_t ImageChanged = 0;
    std::int32_t PrepareImagesFlag = 0;
    std::int32_t CacheBmpFlag = 0;
    std::int32_t EngineWidth = 0, EngineHeight = 0;
    QPoint FocusFrame[5];
    bool Created = false;
    std::int32_t PEnarg1 = 0, PEnarg2 = 0;
    QString PEstrarg1;

    TMessage LastMessage;
    std::uintptr_t LastMouseWParam = 0;
    std::intptr_t LastMouseLParam = 0;
    std::int32_t ScrollMin = 0, ScrollMax = 0, ScrollPos = 0;

    ePEactions peActions_ = sgReinitAndReset;
    QScrollBar* vertBar_ = nullptr;
    QScrollBar* horzBar_ = nullptr;
    bool clickPending_ = false;
    TWindowHandle window_ = 0;
    bool designing_ = false;
    bool painting_ = false;
    bool windowMade_ = false;
    // The drag over the control: what it drags, where it is and whether a drop would be taken.
    QPointer<QObject> dragSource_;
    QPoint dragAt_;
    bool dropAccepted_ = false;
};
