// The edit engine: owns one picture being edited, applies requests to it on a worker thread,
// keeps one step of undo, and shows a reduced copy in an image control. Apply mode serves the
// edit frame (each request on top of the last); preview mode serves the rotate and colour
// dialogs (every request re-applies all settings to the unchanged source, and a newer one
// aborts the one being computed).
#pragma once

#include "Bitmap.h"
#include "EditAction.h"
#include "EditGeometry.h"
#include "PictureTurns.h"
#include "WaitCursor.h"

#include <QString>
#include <QtGlobal>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class TAltLeadImage;
class TChangeBitmapThread;
class TMessageControl;
struct WindowMessage;

enum class EditMode
{
    Apply,
    Preview
};

class TEditImage
{
public:
    using ActionCallback = std::function<void()>;

    // The picture is fitted into boxWidth × boxHeight and shown in image (which may be null,
    // for a caller that only saves). The callbacks run on this thread around every request
    // in apply mode; the hourglass shows between them.
    TEditImage(int boxWidth, int boxHeight, EditMode mode, TAltLeadImage* image,
               ActionCallback actionStart = {}, ActionCallback actionEnd = {});
    ~TEditImage();

    TEditImage(const TEditImage&) = delete;
    TEditImage& operator=(const TEditImage&) = delete;

    // Takes the caller's bitmap as the source (the caller keeps it alive and untouched until
    // the next Open or the engine's end; apply mode replaces its contents as steps are
    // committed). fileName is the file it was read from, whose metadata a save carries over
    // and which quarter turns may transform without re-encoding; empty for none.
    // False when the picture cannot be rendered.
    bool Open(imaging::Bitmap* bitmap, const QString& fileName = QString());

    void Resize(int width, int height);
    void Crop(int left, int top, int width, int height);
    // Clockwise, in degrees (hundredths count).
    void Rotate(bool crop, double angle);
    void Mirror(bool leftRight, bool crop);
    void SetContrast(int value);
    void SetBrightness(int value);
    void SetSaturation(int value);
    void SetHue(int value);
    void SetRed(int value);
    void SetGreen(int value);
    void SetBlue(int value);
    void SetColours(int contrast, int brightness, int saturation, int hue, int red, int green,
                    int blue);
    void RedEye(imaging::ColorRef colour, int left, int top, int width, int height);
    void AutoColour(bool colour, bool contrast, bool brightness);
    void GreyScale();

    void Undo();
    void Redo();
    bool UndoAvailable() const { return mUndoAvailable.load(); }
    bool RedoAvailable() const { return mRedoAvailable.load(); }

    // Apply mode, while no request is being processed: a copy of the current picture fitted
    // into the box (never enlarged). With searchTurns the copy is large enough that any
    // fine turn of it, cropped to its clean rectangle, still fills the box.
    bool PreviewCopy(bool searchTurns, int boxWidth, int boxHeight, imaging::Bitmap& copy);

    // Apply mode, while no request is being processed: writes the current picture to
    // fileName (BMP for ".bmp", else JPEG). The old file is replaced only by a complete new
    // one. On failure errorText says why.
    bool Save(const QString& fileName, QString* errorText = nullptr);

    // The size of the last rendered picture at full size.
    int FullWidth() const { return mFullWidth.load(); }
    int FullHeight() const { return mFullHeight.load(); }

    // No request pending or being processed.
    bool isIdle() const;
    // The result code of the last request processed (1 for success).
    int lastResult() const { return mLastResult.load(); }
    // How many pictures reached the image control (window's thread).
    int picturesShown() const;
    EditMode mode() const { return mMode; }

private:
    friend class TChangeBitmapThread;

    struct ScreenPicture;

    void post(const EditAction& request);
    void postTurn(bool crop);
    void postColours();
    void stopWorker();
    qintptr windowMessage(const WindowMessage& message);

    // Worker side.
    void processRequest(const EditAction& request, quint64 serial);
    int commitAndApply(const EditAction& request, const imaging::Bitmap*& picture, bool& cropped,
                       int& widthBefore, int& heightBefore);
    int render(const imaging::Bitmap& picture, ScreenPicture& out);
    bool stillCurrent(quint64 serial) const;
    void showPicture(const ScreenPicture& picture, quint64 serial);
    void showCleanRectangle(const EditAction& request, int widthBefore, int heightBefore,
                            int turnedWidth, int turnedHeight, quint64 serial);

    bool writeFile(const QString& fileName, const QByteArray& bytes, QString* errorText);

    const int mBoxWidth;
    const int mBoxHeight;
    const EditMode mMode;
    const ActionCallback mActionStart;
    const ActionCallback mActionEnd;
    std::unique_ptr<TMessageControl> mMessageControl;
    std::unique_ptr<TChangeBitmapThread> mThread;
    std::optional<WaitCursor> mWaitCursor;

    // The bitmaps and the display belong to the worker while it runs; the window's thread
    // touches them only in Open and while the worker is idle.
    imaging::Bitmap* mSource = nullptr;
    std::atomic<bool> mLoaded = false;
    imaging::Bitmap mResult;
    bool mResultValid = false;
    edit::DisplayFit mDisplay;
    PictureTurns mTurns;
    QString mFileName;
    // The serial of the picture the worker is handing over.
    quint64 mHandedSerial = 0;

    // Preview settings (window's thread).
    int mAngle = 0;
    bool mMirrorLeftRight = false;
    bool mMirrorTopBottom = false;
    std::array<int, 7> mColours{};

    mutable std::mutex mRequestMutex; // guards mLastRequest
    EditAction mLastRequest;
    EditAction mRedoRequest; // window's thread
    std::atomic<bool> mUndoAvailable = false;
    std::atomic<bool> mRedoAvailable = false;
    std::atomic<int> mFullWidth = 0;
    std::atomic<int> mFullHeight = 0;
    std::atomic<int> mLastResult = 1;
};
