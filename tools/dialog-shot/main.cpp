// Shows one edit dialog on a photo as the edit window would and saves what it draws.
// usage: velko-dialog-shot rotate|colors|resize|autocolor|album-name PHOTO OUTPUT.png
// (album-name is the upload's new-album dialog; it shows no photo)
// The language is the machine setting's (XDG_CONFIG_DIRS), as in the program.
#include "Bitmap.h"
#include "ImageFile.h"
#include "ImagingResult.h"
#include "TEditImage.h"
#include "TVelkoScrollBar.h"
#include "TfrmAddPhotobook.h"
#include "TfrmAutoColor.h"
#include "TfrmEditColor.h"
#include "TfrmResize.h"
#include "TfrmRotate.h"
#include "uLanguage.h"

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QPixmap>

#include <cstdio>
#include <memory>

namespace {

// Runs the event loop until the engine is done, then once more so the picture is painted.
void settle(const TEditImage* engine)
{
    const QDeadlineTimer deadline(10000);
    while (engine && !engine->isIdle() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QCoreApplication::processEvents();
}

int fail(const char* message)
{
    std::fprintf(stderr, "velko-dialog-shot: %s\n", message);
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    LoadLanguage(); // from the machine settings, as the program does
    const QStringList args = app.arguments();
    if (args.size() != 4)
        return fail(
            "usage: velko-dialog-shot rotate|colors|resize|autocolor|album-name PHOTO OUTPUT.png");
    const QString which = args[1];

    imaging::Bitmap photo;
    if (imaging::loadBitmap(args[2], photo) != imaging::Success)
        return fail("the photo cannot be read");
    // The edit window's engine hands the dialogs their copies.
    TEditImage frameEngine(1, 1, EditMode::Apply, nullptr);
    if (!frameEngine.Open(&photo, args[2]))
        return fail("the photo cannot be opened");

    std::unique_ptr<QDialog> dialog;
    const TEditImage* engine = nullptr;
    imaging::Bitmap copy;
    if (which == QLatin1String("rotate")) {
        auto rotate = std::make_unique<TfrmRotate>();
        const QSize box = rotate->pictureBox();
        if (!frameEngine.PreviewCopy(true, box.width(), box.height(), copy) ||
            !rotate->setPicture(copy))
            return fail("no preview copy");
        rotate->cmbAngle()->setEditText(QStringLiteral("-12"));
        engine = rotate->engine();
        dialog = std::move(rotate);
    } else if (which == QLatin1String("colors")) {
        auto colours = std::make_unique<TfrmEditColor>();
        const QSize box = colours->pictureBox();
        if (!frameEngine.PreviewCopy(false, box.width(), box.height(), copy) ||
            !colours->setPicture(copy))
            return fail("no preview copy");
        const auto move = [&](TfrmEditColor::Slider slider, int position) {
            colours->slider(slider)->Setup(Qt::Horizontal, 1113, true, false, position);
        };
        move(TfrmEditColor::Contrast, 580);
        move(TfrmEditColor::Saturation, 650);
        move(TfrmEditColor::Blue, 440);
        engine = colours->engine();
        dialog = std::move(colours);
    } else if (which == QLatin1String("resize")) {
        auto resize = std::make_unique<TfrmResize>();
        if (!frameEngine.PreviewCopy(false, 2147483647, 2147483647, copy))
            return fail("no full-size copy");
        resize->start(copy.width(), copy.height(), copy.xResolution(), copy.yResolution());
        resize->cmbUnit()->setCurrentIndex(1);
        dialog = std::move(resize);
    } else if (which == QLatin1String("autocolor")) {
        dialog = std::make_unique<TfrmAutoColor>();
    } else if (which == QLatin1String("album-name")) {
        auto album = std::make_unique<TfrmAddPhotobook>();
        album->setName(QStringLiteral("Summer 2024 - Coast"));
        dialog = std::move(album);
    } else {
        return fail("unknown dialog");
    }

    dialog->show();
    settle(engine);
    if (!dialog->grab().save(args[3]))
        return fail("the picture cannot be written");
    return 0;
}
