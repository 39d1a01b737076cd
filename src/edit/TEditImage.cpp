#include "TEditImage.h"

#include "EditGeometry.h"
#include "EditOperations.h"
#include "ImageFile.h"
#include "ImagingResult.h"
#include "LosslessJpeg.h"
#include "PhotoMetadata.h"
#include "ReplaceFile.h"
#include "ShellChangeNotifier.h"
#include "TChangeBitmapThread.h"
#include "TMessageControl.h"
#include "uLanguage.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstring>

using namespace imaging;

namespace {

constexpr ColorRef kWhite = 0xFFFFFF;
constexpr unsigned kTextReadOnly = 659;

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool isJpegFile(const QByteArray& bytes)
{
    return bytes.size() > 3 && quint8(bytes[0]) == 0xFF && quint8(bytes[1]) == 0xD8 &&
           quint8(bytes[2]) == 0xFF;
}

// The file's owner may not write it: the program refuses to replace it, also as root.
bool isReadOnlyFile(const QString& fileName)
{
    struct stat st;
    return ::stat(QFile::encodeName(fileName).constData(), &st) == 0 && S_ISREG(st.st_mode) &&
           !(st.st_mode & S_IWUSR);
}

} // namespace

struct TEditImage::ScreenPicture
{
    QByteArray bytes; // BMP
    int width = 0;
    int height = 0;
};

TEditImage::TEditImage(int boxWidth, int boxHeight, EditMode mode, TAltLeadImage* image,
                       ActionCallback actionStart, ActionCallback actionEnd)
    : mBoxWidth(boxWidth), mBoxHeight(boxHeight), mMode(mode), mActionStart(std::move(actionStart)),
      mActionEnd(std::move(actionEnd)), mMessageControl(std::make_unique<TMessageControl>(image))
{}

TEditImage::~TEditImage()
{
    stopWorker();
    mResult.reset();
}

void TEditImage::stopWorker()
{
    mThread.reset(); // stops and joins it
    mWaitCursor.reset();
}

bool TEditImage::isIdle() const
{
    return !mThread || mThread->isIdle();
}

int TEditImage::picturesShown() const
{
    return mMessageControl->picturesShown();
}

bool TEditImage::Open(Bitmap* bitmap, const QString& fileName)
{
    stopWorker();
    mResult.reset();
    mResultValid = false;
    mLoaded = false;
    mSource = bitmap;
    mFileName = fileName;
    mTurns = PictureTurns();
    {
        const std::lock_guard lock(mRequestMutex);
        mLastRequest = EditAction();
    }
    mUndoAvailable = false;
    mRedoAvailable = false;
    mAngle = 0;
    mMirrorLeftRight = false;
    mMirrorTopBottom = false;
    mColours.fill(0);

    ScreenPicture shown;
    if (!bitmap || render(*bitmap, shown) != Success)
        return false;
    mMessageControl->setPlacement((mBoxWidth - shown.width) / 2 + 1,
                                  (mBoxHeight - shown.height) / 2 + 1, shown.width, shown.height);
    mMessageControl->WndProc({WM_EDIT_PICTURE_READY,
                              reinterpret_cast<qintptr>(&shown.bytes),
                              qintptr(shown.bytes.size()),
                              {}});
    mThread = std::make_unique<TChangeBitmapThread>(
        *this, mMode == EditMode::Preview,
        [this](const WindowMessage& message) { return windowMessage(message); });
    mLoaded = true;
    mThread->start();
    return true;
}

// ---- requests ----

void TEditImage::post(const EditAction& request)
{
    if (mThread && mLoaded)
        mThread->post(request);
}

void TEditImage::Resize(int width, int height)
{
    post({EditResize, width, height});
}

void TEditImage::Crop(int left, int top, int width, int height)
{
    post({EditCrop, left, top, width, height});
}

void TEditImage::Rotate(bool crop, double angle)
{
    const int hundredths = int(std::nearbyint(angle * 100));
    if (mMode == EditMode::Apply) {
        post({EditTurn, 0, 0, hundredths, int(kWhite), crop ? 1 : 0});
        return;
    }
    mAngle = hundredths;
    postTurn(crop);
}

void TEditImage::Mirror(bool leftRight, bool crop)
{
    if (mMode == EditMode::Apply) {
        post({EditTurn, leftRight ? 1 : 0, leftRight ? 0 : 1, 0, int(kWhite), crop ? 1 : 0});
        return;
    }
    if (leftRight)
        mMirrorLeftRight = !mMirrorLeftRight;
    else
        mMirrorTopBottom = !mMirrorTopBottom;
    mAngle = 36000 - mAngle;
    postTurn(crop);
}

void TEditImage::postTurn(bool crop)
{
    post({EditTurn, mMirrorLeftRight ? 1 : 0, mMirrorTopBottom ? 1 : 0, mAngle, int(kWhite),
          crop ? 1 : 0});
}

void TEditImage::postColours()
{
    post({EditColours, mColours[0], mColours[1], mColours[2], mColours[3], mColours[4], mColours[5],
          mColours[6]});
}

void TEditImage::SetContrast(int value)
{
    if (mMode == EditMode::Apply)
        return post({EditColours, value});
    mColours[0] = value;
    postColours();
}

void TEditImage::SetBrightness(int value)
{
    if (mMode == EditMode::Apply)
        return post({EditColours, 0, value});
    mColours[1] = value;
    postColours();
}

void TEditImage::SetSaturation(int value)
{
    if (mMode == EditMode::Apply)
        return post({EditColours, 0, 0, value});
    mColours[2] = value;
    postColours();
}

void TEditImage::SetHue(int value)
{
    if (mMode == EditMode::Apply)
        return post({EditColours, 0, 0, 0, value});
    mColours[3] = value;
    postColours();
}

void TEditImage::SetRed(int value)
{
    if (mMode == EditMode::Apply)
        return post({EditColours, 0, 0, 0, 0, value});
    mColours[4] = value;
    postColours();
}

void TEditImage::SetGreen(int value)
{
    if (mMode == EditMode::Apply)
        return post({EditColours, 0, 0, 0, 0, 0, value});
    mColours[5] = value;
    postColours();
}

void TEditImage::SetBlue(int value)
{
    if (mMode == EditMode::Apply)
        return post({EditColours, 0, 0, 0, 0, 0, 0, value});
    mColours[6] = value;
    postColours();
}

void TEditImage::SetColours(int contrast, int brightness, int saturation, int hue, int red,
                            int green, int blue)
{
    if (mMode == EditMode::Apply)
        return post({EditColours, contrast, brightness, saturation, hue, red, green, blue});
    mColours = {contrast, brightness, saturation, hue, red, green, blue};
    postColours();
}

void TEditImage::RedEye(ColorRef colour, int left, int top, int width, int height)
{
    post({EditRedEye, int(colour), 128, 100, left, top, left + width, top + height});
}

void TEditImage::AutoColour(bool colour, bool contrast, bool brightness)
{
    post({EditAutoColour, colour ? 1 : 0, contrast ? 1 : 0, brightness ? 1 : 0});
}

void TEditImage::GreyScale()
{
    post({EditGreyScale});
}

void TEditImage::Undo()
{
    if (mMode != EditMode::Apply || !mUndoAvailable || !mLoaded)
        return;
    {
        const std::lock_guard lock(mRequestMutex);
        mRedoRequest = mLastRequest;
        mLastRequest = EditAction();
    }
    // Not twice before the worker has taken the first.
    mUndoAvailable = false;
    post({EditUndoMarker});
}

void TEditImage::Redo()
{
    if (mMode != EditMode::Apply || !mRedoAvailable || !mLoaded)
        return;
    mRedoAvailable = false;
    post(mRedoRequest);
}

// ---- the window's side of the worker's messages ----

qintptr TEditImage::windowMessage(const WindowMessage& message)
{
    switch (message.id) {
    case WM_EDIT_ACTION_START:
        if (mActionStart)
            mActionStart();
        mWaitCursor.emplace();
        return 0;
    case WM_EDIT_ACTION_END:
        mWaitCursor.reset();
        if (mActionEnd)
            mActionEnd();
        return 0;
    case WM_EDIT_PICTURE_READY:
    case WM_EDIT_SELECTION_FRAME:
        // A picture overtaken by a newer request on its way here is not shown.
        if (mThread && mHandedSerial == mThread->latestSerial())
            return mMessageControl->WndProc(message);
        return 0;
    default:
        return 0;
    }
}

// ---- the worker's side ----

void TEditImage::processRequest(const EditAction& request, quint64 serial)
{
    const bool apply = mMode == EditMode::Apply;
    struct EndAnnouncement
    {
        TChangeBitmapThread* thread;
        ~EndAnnouncement()
        {
            if (!thread)
                return;
            // The window may save as soon as it hears of the end.
            thread->bitmapsReleased();
            thread->sendToWindow(WM_EDIT_ACTION_END);
        }
    };
    if (apply)
        mThread->sendToWindow(WM_EDIT_ACTION_START);
    const EndAnnouncement end{apply ? mThread.get() : nullptr};

    const Bitmap* picture = nullptr;
    Bitmap previewCopy;
    bool cropped = false;
    int widthBefore = 0;
    int heightBefore = 0;
    int result;
    if (apply) {
        result = commitAndApply(request, picture, cropped, widthBefore, heightBefore);
    } else if (!mLoaded) {
        result = NoBitmap;
    } else {
        {
            const std::lock_guard lock(mRequestMutex);
            mLastRequest = request;
        }
        result = copyBitmap(previewCopy, *mSource);
        if (result == Success)
            result = edit::applyEditAction(previewCopy, request, &cropped);
        picture = &previewCopy;
    }
    mLastResult = result;
    if (result != Success || !picture)
        return;

    ScreenPicture shown;
    if (render(*picture, shown) != Success || !stillCurrent(serial))
        return;
    showPicture(shown, serial);
    // A fine turn offers its clean rectangle for cropping, unless it was cropped to it.
    if (apply && request.kind == EditTurn && request.p3 > 0 && request.p3 % 9000 != 0 && !cropped &&
        stillCurrent(serial)) {
        showCleanRectangle(request, widthBefore, heightBefore, picture->width(), picture->height(),
                           serial);
    }
}

int TEditImage::commitAndApply(const EditAction& request, const Bitmap*& picture, bool& cropped,
                               int& widthBefore, int& heightBefore)
{
    int result = Success;
    if (request.kind == EditUndoMarker) {
        // The source is the picture before the undone step.
        mResult.reset();
        mResultValid = false;
        if (!mLoaded)
            return NoBitmap;
        mTurns.undone();
        picture = mSource;
    } else {
        if (mResultValid) {
            // Commit the previous step: its result becomes the source.
            mSource->swap(mResult);
            mResultValid = false;
        }
        if (!mLoaded)
            return NoBitmap;
        result = copyBitmap(mResult, *mSource);
        if (result != Success) {
            mResult.reset();
            mUndoAvailable = false;
            mRedoAvailable = false;
            return result;
        }
        mResultValid = true;
        widthBefore = mResult.width();
        heightBefore = mResult.height();
        result = edit::applyEditAction(mResult, request, &cropped);
        mTurns.applied(request, result == Success);
        picture = &mResult;
    }
    {
        const std::lock_guard lock(mRequestMutex);
        mLastRequest = request;
    }
    mUndoAvailable = request.kind != EditUndoMarker;
    mRedoAvailable = request.kind == EditUndoMarker;
    return result;
}

bool TEditImage::stillCurrent(quint64 serial) const
{
    return mThread->cancelFlag().load() == 0 && !mThread->isTerminated() &&
           mThread->latestSerial() == serial;
}

int TEditImage::render(const Bitmap& picture, ScreenPicture& out)
{
    if (picture.isNull())
        return NoBitmap;
    mDisplay = {1, double(picture.width()), double(picture.height())};
    edit::fitIntoBox(mDisplay, mBoxWidth, mBoxHeight, picture.width(), picture.height());
    mFullWidth = picture.width();
    mFullHeight = picture.height();
    out.width = edit::roundedSide(mDisplay.width);
    out.height = edit::roundedSide(mDisplay.height);
    if (out.width == picture.width() && out.height == picture.height())
        return saveBitmapToBuffer(picture, FileFormat::Bmp, 2, out.bytes);
    Bitmap reduced;
    int result = edit::scaledCopy(picture, out.width, out.height, reduced);
    if (result == Success)
        result = saveBitmapToBuffer(reduced, FileFormat::Bmp, 2, out.bytes);
    return result;
}

void TEditImage::showPicture(const ScreenPicture& picture, quint64 serial)
{
    mMessageControl->setPlacement((mBoxWidth - picture.width) / 2 + 1,
                                  (mBoxHeight - picture.height) / 2 + 1, picture.width,
                                  picture.height);
    mHandedSerial = serial;
    mThread->sendToWindow(WM_EDIT_PICTURE_READY, reinterpret_cast<qintptr>(&picture.bytes),
                          qintptr(picture.bytes.size()));
}

void TEditImage::showCleanRectangle(const EditAction& request, int widthBefore, int heightBefore,
                                    int turnedWidth, int turnedHeight, quint64 serial)
{
    const std::optional<Rect> clean = edit::inscribedRectangle(
        request.p3 / 100.0, widthBefore, heightBefore, turnedWidth, turnedHeight);
    if (!clean)
        return;
    const qintptr left = qintptr(std::ceil(clean->left * mDisplay.scale));
    const qintptr top = qintptr(std::ceil(clean->top * mDisplay.scale));
    const qintptr width = qintptr(std::floor(clean->width() * mDisplay.scale));
    const qintptr height = qintptr(std::floor(clean->height() * mDisplay.scale));
    mHandedSerial = serial;
    mThread->sendToWindow(WM_EDIT_SELECTION_FRAME, left * 65536 + top, width * 65536 + height);
}

// ---- copies and saving (window's thread, worker idle) ----

bool TEditImage::PreviewCopy(bool searchTurns, int boxWidth, int boxHeight, Bitmap& copy)
{
    if (mMode != EditMode::Apply || !isIdle())
        return false;
    const Bitmap* from = mResultValid ? &mResult : mLoaded ? mSource : nullptr;
    if (!from || from->isNull())
        return false;
    edit::DisplayFit fit;
    if (searchTurns) {
        fit = edit::previewFitOverTurns(from->width(), from->height(), boxWidth, boxHeight);
    } else {
        fit = {1, double(from->width()), double(from->height())};
        edit::fitIntoBox(fit, boxWidth, boxHeight, from->width(), from->height());
    }
    return edit::scaledCopy(*from, edit::roundedSide(fit.width), edit::roundedSide(fit.height),
                            copy) == Success;
}

bool TEditImage::Save(const QString& fileName, QString* errorText)
{
    const auto fail = [errorText](const QString& text) {
        if (errorText)
            *errorText = text;
        return false;
    };
    if (mMode != EditMode::Apply)
        return fail(QStringLiteral("No image"));
    if (!isIdle())
        return fail(QStringLiteral("The picture is still being changed"));
    const Bitmap* picture = mResultValid ? &mResult : mLoaded ? mSource : nullptr;
    if (!picture || picture->isNull())
        return fail(QStringLiteral("No image"));
    // Refused before any work, and the old file stays as it is.
    if (isReadOnlyFile(fileName))
        return fail(systemText(EACCES) + QStringLiteral("\r\n") + GetText(kTextReadOnly));

    const bool jpeg = !fileName.toLower().endsWith(QLatin1String(".bmp"));
    QByteArray bytes;
    if (jpeg && !mFileName.isEmpty()) {
        // Only quarter turns and mirrors since the file was read: move its blocks instead.
        if (const std::optional<std::vector<LosslessStep>> steps = mTurns.steps()) {
            QFile source(mFileName);
            if (source.open(QIODevice::ReadOnly)) {
                const QByteArray original = source.readAll();
                if (isJpegFile(original)) {
                    if (std::optional<QByteArray> moved = losslessTransform(original, *steps))
                        bytes = std::move(*moved);
                }
            }
        }
    }
    if (bytes.isEmpty()) {
        const int result =
            saveBitmapToBuffer(*picture, jpeg ? FileFormat::Jpeg : FileFormat::Bmp, 2, bytes);
        if (result != Success)
            return fail(resultText(result));
    }
    if (jpeg && !mFileName.isEmpty()) {
        QString metadataError;
        if (!carryMetadataForSave(mFileName, bytes, &metadataError))
            return fail(metadataError);
    }
    bool existed = false;
    if (const int error = replaceFileContents(fileName, bytes, &existed))
        return fail(systemText(error));
    ShellChangeNotifier::instance().announcePath(existed ? ShcneUpdateItem : ShcneCreate,
                                                 QFile::encodeName(fileName));
    mTurns.saved();
    mFileName = fileName;
    return true;
}
