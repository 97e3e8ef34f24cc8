// ZvektoolChildWindow.h - the image view window: one window per viewed
// image slot, with the display controls that change how the slot's image is
// shown (frame, colour, overlay, brightness and colour balance, contrast
// level and window, zoom), pixel read-out, capture and saving.
#ifndef ZVEKTOOLCHILDWINDOW_H
#define ZVEKTOOLCHILDWINDOW_H

#include "imageconvert.h"
#include "viewkernels.h"
#include "zvek.h"

#include <QImage>
#include <QMainWindow>
#include <QVector>

#include <cstdint>

class QAction;
class QCheckBox;
class QCloseEvent;
class QDockWidget;
class QGridLayout;
class QGroupBox;
class QLabel;
class QMouseEvent;
class QScrollArea;
class QSlider;
class QSpinBox;
class QToolBar;
class QVBoxLayout;
class ZVektoolMainWindow;


class ZVektoolChildWindow : public QMainWindow {
    Q_OBJECT

public:
    ZVektoolChildWindow(QWidget *parent, QImage *image, int slot);
    ~ZVektoolChildWindow() override;

    // Maps a "float" image linearly onto lo..hi into the "float" image out of
    // the same size, all frames with one mapping; stores the extremes of in.
    // 0 done, -1 in not "float", -2 out not "float", -3 lo > hi. Extremes are
    // taken over finite values only; +inf maps to hi, -inf and NaN to lo.
    static int BrScale(ZVEKHDR *in, ZVEKHDR *out, float hi, float lo, float *max, float *min);
    // r = g = bright + warm, b = bright + cool (slider values).
    void getRGB(int &r, int &g, int &b);
    // Adjusted redraw with the three channel offsets; remembers them.
    void changeRGB(int dR, int dG, int dB);
    // 1.0 for z = 0, 1 + z / 20 above, 1 + z / 100 below.
    static double getScaleFromZoom(int z);
    // lo if lo > v, else hi if v > hi, else v.
    static double ZvekBound(double lo, double v, double hi);

    // True when the working copy was made from a "float" slot image; without
    // it the window shows black and every read of the working copy or of the
    // extremes is to be skipped.
    bool hasWorkingCopy() const { return workReady; }
    // The slot image when it still has the working copy's shape (a command
    // may have replaced it while the window stayed open), else null.
    ZVEKHDR *matchingSlotImage(int slot) const;
    // Columns, rows and frames of the working copy.
    const ZvekShape &workShape() const { return workDims; }

    // Fields (see the window's description); public so that the main window
    // and the companions of the window can read them.
    ZVEKHDR *workImage = nullptr;
    float dataMax = 0.0f;
    float dataMin = 0.0f;
    int32_t currentFrame = 0;
    bool profileMode = false;
    bool histogramMode = false;
    QVector<int> pathCols;
    QVector<int> pathRows;
    QLabel *imageLabel = nullptr;
    QScrollArea *scrollArea = nullptr;
    QImage *qimage = nullptr;
    ZVektoolMainWindow *mainWindow = nullptr;
    int32_t lastROffset = 0;
    int32_t lastGOffset = 0;
    int32_t lastBOffset = 0;
    QToolBar *editToolBar = nullptr;
    QAction *profileAct = nullptr;
    QAction *histogramAct = nullptr;
    QAction *resetAct = nullptr;
    QAction *saveAct = nullptr;
    QAction *saveBufferAct = nullptr;
    QDockWidget *operationsDock = nullptr;
    QGroupBox *dockBox = nullptr;
    QVBoxLayout *dockLayout = nullptr;
    QGroupBox *displayBox = nullptr;
    QGridLayout *displayLayout = nullptr;
    QGroupBox *rgbBox = nullptr;
    QGridLayout *rgbLayout = nullptr;
    QGroupBox *editBox = nullptr;
    QGridLayout *editLayout = nullptr;
    QCheckBox *colorCheck = nullptr;
    QCheckBox *overlayCheck = nullptr;
    QSlider *brightSlider = nullptr;
    QSlider *warmSlider = nullptr;
    QSlider *coolSlider = nullptr;
    QSlider *redSlider = nullptr;
    QSlider *greenSlider = nullptr;
    QSlider *blueSlider = nullptr;
    QSlider *zoomSlider = nullptr;
    QSlider *levelSlider = nullptr;
    QSlider *windowSlider = nullptr;
    QLabel *frameLabel = nullptr;
    QLabel *brightLabel = nullptr;
    QLabel *warmLabel = nullptr;
    QLabel *coolLabel = nullptr;
    QLabel *redLabel = nullptr;
    QLabel *greenLabel = nullptr;
    QLabel *blueLabel = nullptr;
    QLabel *zoomLabel = nullptr;
    QLabel *levelLabel = nullptr;
    QLabel *windowLabel = nullptr;
    QSpinBox *brightSpin = nullptr;
    QSpinBox *frameSpin = nullptr;
    QSpinBox *warmSpin = nullptr;
    QSpinBox *coolSpin = nullptr;
    QSpinBox *redSpin = nullptr;
    QSpinBox *greenSpin = nullptr;
    QSpinBox *blueSpin = nullptr;
    QSpinBox *zoomSpin = nullptr;
    QSpinBox *levelSpin = nullptr;
    QSpinBox *windowSpin = nullptr;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

public slots:
    void bright(int);
    void warm(int);
    void cool(int);
    void changeR(int v);
    void changeG(int v);
    void changeB(int v);
    void zoom(int z);
    void level();
    void window();
    void profile();
    void histogram();
    void saveBuffer();
    void save();
    void reset();
    void NewFrame(int f);
    void NewImage();
    void checkIt();
    void overlayIt();

private:
    void createActions();
    void createToolBar();
    void addLayoutElements();

    // Redraw plumbing: the label's picture is taken out of the label while it
    // is painted, so that painting never copies it, and put back after.
    QImage takePicture();
    void putPicture(QImage &&picture);
    // Rows and columns of the working copy that the picture has room for.
    int drawRows(const QImage &picture) const;
    int drawCols(const QImage &picture) const;
    // Redraw with the combined bright, warm and cool offsets, then move the
    // three colour sliders to them.
    void adjustFromCombination();
    // While the colour sliders follow a bright, warm or cool change their
    // slots only note the redraw they would make.
    bool holdRedraws = false;
    bool heldRedraw = false;
    int heldR = 0, heldG = 0, heldB = 0;
    void redrawOrHold(int dR, int dG, int dB);

    bool workReady = false;
    ZvekShape workDims;

    // Mouse handling and capture. The slot and the image column and row of
    // the event's position; false when the window has no slot, the zoom has
    // no area or the position lies outside the slot image.
    bool imagePosition(QMouseEvent *event, int &slot, int &col, int &row) const;
    // True when the working copy is drawn in colour (three frames or more).
    bool colourWork() const { return workDims.ndim == 3 && workDims.frames >= 3; }
    // Whether (col, row) lies inside the working copy.
    bool insideWork(int col, int row) const {
        return workReady && col >= 0 && row >= 0 && col < workDims.cols && row < workDims.rows;
    }
    // dataMax - dataMin as the display arithmetic forms it (single
    // precision), or in double where that overflows.
    double dataSpan() const;
    // Working-copy value of frame f at (row, col); the caller keeps it inside.
    float workValue(int f, int row, int col) const;
    // The console lines for the pixel (row, col) of the slot image.
    void readOut(ZVEKHDR *slotImage, int row, int col, zvekview::Contrast c);
    // The profile and histogram of the collected path, in new plot windows.
    void capture(zvekview::Contrast c);
};

#endif  // ZVEKTOOLCHILDWINDOW_H
