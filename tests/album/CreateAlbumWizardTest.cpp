// The export wizard driven as a user does, on real photos, with stand-ins for the two
// ready-made programs: what the exported file holds, the options offered for it, the
// installer, cancel, a full disk, and a missing program.
#include "EventLoopWait.h"
#include "GradientPictures.h"
#include "ModalAnswer.h"
#include "ScreenProbe.h"
#include "TestApplication.h"
#include "TfrmCreateAlbumEXE.h"
#include "VersionInfo.h"
#include "ViewerFileReader.h"
#include "XvfbServer.h"
#include "uLanguage.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QToolButton>
#include <QUrl>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <functional>
#include <memory>

// Takes the folders the wizard opens instead of a file manager.
class FolderCatcher : public QObject
{
    Q_OBJECT
public:
    FolderCatcher() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open"); }
    ~FolderCatcher() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened << url; }
};

namespace {

constexpr QFileDevice::Permissions kExecutable =
    QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;

template <class T = QWidget> T* child(const QWidget& window, const char* name)
{
    T* found = window.findChild<T*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Answers the save dialog by typing the name, as a user would.
void answerSaveDialog(const QString& fileName)
{
    onModal<QFileDialog>([fileName](QFileDialog* dialog) {
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(fileName);
        static_cast<QDialog*>(dialog)->accept();
    });
}

// The version fields written into the copied program's marked area.
album::VersionFields versionFieldsOf(const QByteArray& program)
{
    const qsizetype at = program.indexOf("VELKO:VERSIONBLK");
    if (at < 0 || program.size() < at + qsizetype(album::kVersionAreaSize))
        return {};
    return album::decodeVersionArea(std::span<const std::uint8_t>(
        reinterpret_cast<const std::uint8_t*>(program.constData() + at), album::kVersionAreaSize));
}

std::string field(const album::VersionFields& fields, const std::string& key)
{
    for (const auto& [name, value] : fields)
        if (name == key)
            return value;
    return "(none)";
}

// A file-size limit stands for a full disk; it binds root too. Undone when it goes.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 bytes)
    {
        getrlimit(RLIMIT_FSIZE, &mOld);
        mOldHandler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{rlim_t(bytes), mOld.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &mOld);
        std::signal(SIGXFSZ, mOldHandler);
    }

private:
    rlimit mOld{};
    void (*mOldHandler)(int) = nullptr;
};

class ExportWizard : public testing::Test
{
protected:
    void SetUp() override
    {
        testsupport::ensureApplication();
        ASSERT_TRUE(mDir.isValid());
        for (const char* folder : {"tmp", "data", "photos", "out", "home", "share", "bin"})
            ASSERT_TRUE(QDir(mDir.path()).mkdir(QLatin1String(folder)));
        mOldPath = qgetenv("PATH");
        qputenv("TMPDIR", path("tmp").toLocal8Bit());
        qputenv("VELKO_DATA_DIR", path("data").toLocal8Bit());
        qputenv("HOME", path("home").toLocal8Bit());
        qputenv("XDG_DATA_HOME", path("share").toLocal8Bit());
        // No settings program of XScreenSaver is started from a test.
        qputenv("PATH", path("bin").toLocal8Bit());

        // The viewer's stand-in: the marked version area amid program bytes.
        const auto area = album::emptyVersionArea();
        QByteArray viewer(3000, '\x7f');
        viewer.insert(1000, reinterpret_cast<const char*>(area.data()), qsizetype(area.size()));
        writeFile(viewerProgram(), viewer);
        writeFile(path("data/SSDATA.dat"), QByteArray(1500, '\x55'));
        wizard = std::make_unique<TfrmCreateAlbumEXE>();
    }

    void TearDown() override
    {
        wizard.reset();
        qputenv("PATH", mOldPath);
        for (const char* name : {"TMPDIR", "VELKO_DATA_DIR", "XDG_DATA_HOME"})
            qunsetenv(name);
    }

    QString path(const char* relative) const { return mDir.filePath(QLatin1String(relative)); }

    // Runs a finish option and waits for its end; answers to its dialogs are set up before.
    bool finishOption(const std::function<void()>& trigger)
    {
        bool ended = false;
        const auto connection = QObject::connect(
            wizard.get(), &TfrmCreateAlbumEXE::finishOptionDone, [&ended] { ended = true; });
        trigger();
        const bool done = pumpUntil([&ended] { return ended; }, 30s);
        QObject::disconnect(connection);
        return done;
    }

    QString viewerProgram() const { return path("data/VIEWERDATA.dat"); }

    QStringList photos(int count, int width = 1600, int height = 1200)
    {
        QStringList files;
        const QByteArray jpeg = testsupport::jpegBytes(width, height);
        for (int i = 0; i < count; ++i) {
            files << QDir(path("photos")).filePath(QStringLiteral("photo %1.jpg").arg(i));
            writeFile(files.last(), jpeg);
        }
        return files;
    }

    QStringList temporaryFiles() const
    {
        return QDir(path("tmp")).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    // Opens the wizard on the photos and moves to the file information with the kind chosen.
    void start(const QStringList& files, const char* kind)
    {
        wizard->SetPhotoFiles(files);
        wizard->setActivePageIndex(0);
        wizard->show();
        child<QRadioButton>(*wizard, kind)->setChecked(true);
        child<QPushButton>(*wizard, "btnNext")->click();
        ASSERT_EQ(wizard->ActivePageIndex(), 1);
        auto* resolutions = child<QComboBox>(*wizard, "cmbOptimizeRes");
        resolutions->setCurrentIndex(resolutions->findText(QStringLiteral("1024 x 768")));
    }

    void clickCreate(const QString& fileName)
    {
        answerSaveDialog(fileName);
        child<QPushButton>(*wizard, "btnCreate")->click();
    }

    // Creates the file and waits for the result panel.
    void create(const QString& fileName)
    {
        clickCreate(fileName);
        ASSERT_TRUE(pumpUntil([&] { return resultShown() && !wizard->isBusy(); }, 60s));
    }

    bool resultShown() const { return child<QWidget>(*wizard, "pnResult")->isVisible(); }
    QString result() const { return child<QLabel>(*wizard, "lblResult")->text(); }
    bool shown(const char* name) const { return child<QWidget>(*wizard, name)->isVisible(); }

    void closeWizard()
    {
        child<QPushButton>(*wizard, "btnClose")->click();
        EXPECT_FALSE(wizard->isVisible());
    }

    QTemporaryDir mDir;
    QByteArray mOldPath;
    std::unique_ptr<TfrmCreateAlbumEXE> wizard;
};

TEST_F(ExportWizard, APhotoViewerHoldsEveryPhotoItsSettingsAndVersionFields)
{
    start(photos(3), "rbAlbum");
    child<QLineEdit>(*wizard, "edTitle")->setText(QStringLiteral("  Alps  "));
    child<QLineEdit>(*wizard, "edCompany")->setText(QStringLiteral("Anna"));
    child<QPlainTextEdit>(*wizard, "mmComments")->setPlainText(QStringLiteral("Summer walks"));
    const QString target = path("out/Alps viewer");
    create(target);

    EXPECT_EQ(result(), GetText(419));
    EXPECT_EQ(wizard->targetFileName(), target);
    EXPECT_TRUE(QFileInfo(target).permissions().testFlags(kExecutable));
    EXPECT_TRUE(shown("lblExOpenFolder"));
    EXPECT_FALSE(shown("lblExSSSetDefault"));
    EXPECT_FALSE(shown("lblExSSCreateInstaller"));
    FolderCatcher folders;
    child<QToolButton>(*wizard, "btnExOpenFolder")->click();
    EXPECT_EQ(folders.opened, QList<QUrl>{QUrl::fromLocalFile(path("out"))});

    const auto reader = album::ViewerFileReader::openFile(QFile::encodeName(target).toStdString());
    EXPECT_EQ(reader.number("VELKO_NRPICS"), 3u);
    EXPECT_EQ(reader.text("VELKO_TITLE"), "Alps");
    EXPECT_EQ(reader.number("VELKO_SLIDESHOW"), 0u);
    for (int n = 0; n < 3; ++n) {
        const auto thumb = reader.block("VELKO_THUMB" + std::to_string(n));
        const auto picture = reader.block("VELKO_PIC" + std::to_string(n));
        ASSERT_TRUE(thumb && picture) << n;
        const QImage image = QImage::fromData(picture->data(), int(picture->size()));
        // The viewer's box on a 1024 x 768 screen is 811 x 702.
        EXPECT_EQ(image.width(), 811);
        EXPECT_NEAR(image.height(), 608, 1);
    }
    const album::VersionFields fields = versionFieldsOf(readAll(target));
    EXPECT_EQ(field(fields, "FileDescription"), "Alps");
    EXPECT_EQ(field(fields, "CompanyName"), "Anna");
    EXPECT_EQ(field(fields, "Comments"), "Summer walks");

    closeWizard();
    EXPECT_EQ(temporaryFiles(), QStringList());
}

TEST_F(ExportWizard, ASlideshowSavedAsAProgramOffersNoScreensaverOptionsAndAnEmptyTitleNoBlock)
{
    start(photos(2), "rbSlideShow");
    create(path("out/show"));

    EXPECT_EQ(result(), GetText(419));
    EXPECT_TRUE(QFileInfo::exists(path("out/show")));
    EXPECT_TRUE(shown("lblExOpenFolder"));
    EXPECT_FALSE(shown("lblExSSSetDefault"));
    EXPECT_FALSE(shown("btnExSSSetDefault"));
    EXPECT_FALSE(shown("lblExSSCreateInstaller"));
    const auto reader =
        album::ViewerFileReader::openFile(QFile::encodeName(path("out/show")).toStdString());
    EXPECT_EQ(reader.find("VELKO_TITLE"), nullptr);
    EXPECT_EQ(reader.find("VELKO_THUMB0"), nullptr);
    EXPECT_EQ(reader.number("VELKO_SLIDESHOW"), 1u);
    EXPECT_EQ(reader.number("VELKO_NRPICS"), 2u);
}

TEST_F(ExportWizard, AScreensaverKeepsScrOffersBothOptionsAndPacksIntoAnInstaller)
{
    start(photos(2), "rbScreenSaver");
    create(path("out/Winter"));
    const QString screensaver = path("out/Winter.scr");
    ASSERT_EQ(wizard->targetFileName(), screensaver);
    EXPECT_TRUE(shown("lblExSSSetDefault"));
    EXPECT_TRUE(shown("btnExSSSetDefault"));
    EXPECT_TRUE(shown("lblExSSCreateInstaller"));
    EXPECT_TRUE(shown("btnExSSCreateInstaller"));

    QString message;
    answerSaveDialog(path("out/install-winter"));
    onModal<QMessageBox>([&message](QMessageBox* box) {
        message = box->text();
        box->accept();
    });
    ASSERT_TRUE(finishOption([this] {
        emit child<QLabel>(*wizard, "lblExSSCreateInstaller")->linkActivated(QStringLiteral("#"));
    }));
    EXPECT_EQ(message, GetText(425));

    const QString installer = path("out/install-winter");
    EXPECT_TRUE(QFileInfo(installer).permissions().testFlags(kExecutable));
    EXPECT_TRUE(readAll(installer).startsWith(QByteArray(1500, '\x55')));
    const auto reader =
        album::ViewerFileReader::openFile(QFile::encodeName(installer).toStdString());
    const QByteArray bytes = readAll(screensaver);
    const auto pieces = reader.number("VELKOSSN");
    ASSERT_TRUE(pieces);
    QByteArray joined;
    for (std::uint32_t k = 1; k <= *pieces; ++k) {
        const auto piece = reader.block("VELKOSS" + std::to_string(k));
        ASSERT_TRUE(piece) << k;
        joined.append(reinterpret_cast<const char*>(piece->data()), qsizetype(piece->size()));
    }
    EXPECT_EQ(joined, bytes);
    // No title was given: the screensaver's name without its extension stands for it.
    EXPECT_EQ(reader.text("VELKOSST"), "Winter");
    EXPECT_EQ(reader.text("VELKOSSC"), "-");
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^\\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\\}$"))
            .match(QString::fromStdString(reader.text("VELKOSSG").value_or("")))
            .hasMatch());
}

TEST_F(ExportWizard, AnInstallerThatCannotBeWrittenIsRemovedAndTheReasonShown)
{
    start(photos(2), "rbScreenSaver");
    create(path("out/Winter.scr"));
    QString message;
    answerSaveDialog(path("out/install-winter"));
    onModal<QMessageBox>([&message](QMessageBox* box) {
        message = box->text();
        box->accept();
    });
    {
        // The copy of the installer program and its directory fit, the screensaver does not.
        FileSizeLimit limit(1500 + 400);
        ASSERT_TRUE(finishOption(
            [this] { child<QToolButton>(*wizard, "btnExSSCreateInstaller")->click(); }));
    }
    EXPECT_EQ(message,
              GetText(418) + QLatin1Char('\n') + QString::fromLocal8Bit(std::strerror(EFBIG)));
    EXPECT_FALSE(QFileInfo::exists(path("out/install-winter")));
}

TEST_F(ExportWizard, ASettingsFileThatCannotBeReplacedIsReported)
{
    // A folder in its place: reading it fails, for root too.
    ASSERT_TRUE(QDir(path("home")).mkdir(QStringLiteral(".xscreensaver")));
    start(photos(1), "rbScreenSaver");
    create(path("out/Garden.scr"));
    QString message;
    onModal<QMessageBox>([&message](QMessageBox* box) {
        box->buttons().constFirst()->click(); // Yes
        onModal<QMessageBox>([&message](QMessageBox* error) {
            message = error->text();
            error->accept();
        });
    });
    ASSERT_TRUE(
        finishOption([this] { child<QToolButton>(*wizard, "btnExSSSetDefault")->click(); }));
    ASSERT_TRUE(pumpUntil([&] { return !message.isEmpty(); }, 30s));
    EXPECT_TRUE(message.startsWith(GetText(418) + QLatin1Char('\n'))) << message.toStdString();
    EXPECT_TRUE(message.contains(QString::fromLocal8Bit(std::strerror(EISDIR))))
        << message.toStdString();
}

TEST_F(ExportWizard, SettingTheActiveScreensaverInstallsACopyForXScreenSaver)
{
    writeFile(path("home/.xscreensaver"),
              "mode:\t\trandom\nprograms:\t\t\\\n\tabstractile -root \\n\\\n");
    start(photos(1), "rbScreenSaver");
    create(path("out/Garden.scr"));

    onModal<QMessageBox>([](QMessageBox* box) {
        EXPECT_EQ(box->text(), GetText(426));
        box->buttons().constFirst()->click(); // Yes
    });
    ASSERT_TRUE(
        finishOption([this] { child<QToolButton>(*wizard, "btnExSSSetDefault")->click(); }));

    const QString installed = path("share/velko-screensavers/ssGarden.scr");
    EXPECT_EQ(readAll(installed), readAll(path("out/Garden.scr")));
    EXPECT_TRUE(QFileInfo(installed).permissions().testFlags(kExecutable));
    const QByteArray settings = readAll(path("home/.xscreensaver"));
    EXPECT_TRUE(settings.contains(QFile::encodeName(installed))) << settings.toStdString();
    EXPECT_TRUE(
        QString::fromUtf8(settings).contains(QRegularExpression(QStringLiteral("mode:\\s*one"))))
        << settings.toStdString();
}

// The whole way: photos exported with the real viewer program, which then runs on its own.
TEST_F(ExportWizard, AnExportedSlideshowRunsAndShowsTheFirstPhoto)
{
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb"), {QStringLiteral("/usr/bin")})
            .isEmpty())
        GTEST_SKIP() << "Xvfb is needed";
    ASSERT_TRUE(QFile::remove(viewerProgram()));
    ASSERT_TRUE(QFile::copy(QStringLiteral(VELKO_VIEWER_PROGRAM), viewerProgram()));
    QStringList files;
    for (const Qt::GlobalColor colour : {Qt::red, Qt::blue}) {
        QImage photo(1200, 900, QImage::Format_RGB32);
        photo.fill(colour);
        files << path(colour == Qt::red ? "photos/red.jpg" : "photos/blue.jpg");
        ASSERT_TRUE(photo.save(files.last(), "JPG", 95));
    }
    start(files, "rbSlideShow");
    create(path("out/colours"));
    ASSERT_EQ(result(), GetText(419));
    closeWizard();

    qputenv("PATH", mOldPath);
    XvfbServer server;
    ASSERT_FALSE(server.display().empty()) << server.error();
    int picture[2];
    ASSERT_EQ(pipe2(picture, O_CLOEXEC), 0);
    QProcess program;
    program.setProgram(path("out/colours"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), QString::fromStdString(server.display()));
    environment.insert(QStringLiteral("VELKO_FIRST_PICTURE_FD"), QStringLiteral("3"));
    program.setProcessEnvironment(environment);
    const int pictureFd = picture[1];
    program.setChildProcessModifier([pictureFd] { dup2(pictureFd, 3); });
    program.start();
    close(picture[1]);
    // The program says when its first picture is on the screen.
    pollfd drawn = {picture[0], POLLIN, 0};
    char line[64];
    const bool shown = poll(&drawn, 1, 10000) == 1 && read(picture[0], line, sizeof line) > 0;
    close(picture[0]);
    ASSERT_TRUE(shown) << program.readAll().toStdString();

    ScreenProbe screen(server.display());
    ASSERT_TRUE(screen.connected());
    const auto window = screen.windowOfClass("velko-album");
    ASSERT_NE(window, 0u);
    const auto [width, height] = screen.size(window);
    EXPECT_TRUE(screen.waitForColour(window, width / 2, height / 2, 0xff0000));
    program.kill();
    program.waitForFinished();
}

TEST_F(ExportWizard, WithoutATemporaryFolderTheExportIsBuiltInTheTargetItself)
{
    qputenv("TMPDIR", path("missing").toLocal8Bit());
    start(photos(2), "rbAlbum");
    create(path("out/album"));
    EXPECT_EQ(result(), GetText(419));
    const auto reader =
        album::ViewerFileReader::openFile(QFile::encodeName(path("out/album")).toStdString());
    EXPECT_EQ(reader.number("VELKO_NRPICS"), 2u);
    EXPECT_TRUE(QFileInfo(path("out/album")).permissions().testFlags(kExecutable));
}

TEST_F(ExportWizard, CancelLeavesNoTargetAndClosingNoTemporaryFile)
{
    start(photos(40), "rbAlbum");
    const QString target = path("out/album");
    clickCreate(target);
    ASSERT_TRUE(
        pumpUntil([&] { return child<QProgressBar>(*wizard, "ProgressBar1")->value() >= 1; }));
    child<QPushButton>(*wizard, "btnCancel")->click();

    EXPECT_EQ(result(), GetText(420));
    EXPECT_FALSE(wizard->isBusy());
    EXPECT_FALSE(shown("pnFinishOptions"));
    EXPECT_FALSE(QFileInfo::exists(target));
    closeWizard();
    EXPECT_EQ(temporaryFiles(), QStringList());
    EXPECT_EQ(QDir(path("out")).entryList(QDir::Files | QDir::Hidden), QStringList());
}

TEST_F(ExportWizard, AFullDiskDuringTheExportEndsItWithTheSystemsReason)
{
    start(photos(4), "rbSlideShow");
    // The program and its directory fit, the first picture does not.
    const qint64 directory = 8 + 32 * (4 + 4) + 16;
    {
        FileSizeLimit limit(QFileInfo(viewerProgram()).size() + directory + 1000);
        create(path("out/show"));
    }
    EXPECT_TRUE(result().startsWith(GetText(418) + QLatin1Char('\n'))) << result().toStdString();
    EXPECT_TRUE(result().contains(QString::fromLocal8Bit(std::strerror(EFBIG))))
        << result().toStdString();
    EXPECT_FALSE(shown("pnFinishOptions"));
    EXPECT_FALSE(QFileInfo::exists(path("out/show")));
    // The temporary file is the one that did not fit, and the reason says so.
    EXPECT_TRUE(result().contains(path("tmp"))) << result().toStdString();
}

TEST_F(ExportWizard, AContainerThatCannotBeBegunShowsTheSystemsReason)
{
    start(photos(1), "rbSlideShow");
    QString message;
    onModal<QMessageBox>([&message](QMessageBox* box) {
        message = box->text();
        box->accept();
    });
    {
        // The copy fits exactly; its directory does not.
        FileSizeLimit limit(QFileInfo(viewerProgram()).size());
        clickCreate(path("out/show"));
        ASSERT_TRUE(pumpUntil([&] { return !message.isEmpty() && !wizard->isBusy(); }));
    }
    EXPECT_EQ(message,
              GetText(418) + QLatin1Char('\n') + QString::fromLocal8Bit(std::strerror(EFBIG)));
    EXPECT_EQ(wizard->ActivePageIndex(), 1);
}

// A viewer program without its version area, or with two, cannot take the file information.
class ExportWizardVersionArea : public ExportWizard, public testing::WithParamInterface<int>
{};

TEST_P(ExportWizardVersionArea, IsAnErrorTheUserSees)
{
    const auto area = album::emptyVersionArea();
    QByteArray viewer(3000, '\x7f');
    for (int i = 0; i < GetParam(); ++i)
        viewer.insert(500 + i * 1500, reinterpret_cast<const char*>(area.data()),
                      qsizetype(area.size()));
    writeFile(viewerProgram(), viewer);
    start(photos(1), "rbAlbum");
    child<QLineEdit>(*wizard, "edTitle")->setText(QStringLiteral("Alps"));
    QString message;
    onModal<QMessageBox>([&message](QMessageBox* box) {
        message = box->text();
        box->accept();
    });
    clickCreate(path("out/album"));
    ASSERT_TRUE(pumpUntil([&] { return !message.isEmpty() && !wizard->isBusy(); }));
    EXPECT_EQ(message, GetText(418) + QLatin1Char('\n') + GetText(428));
    EXPECT_EQ(wizard->ActivePageIndex(), 1);
    EXPECT_FALSE(QFileInfo::exists(path("out/album")));
}

INSTANTIATE_TEST_SUITE_P(Areas, ExportWizardVersionArea, testing::Values(0, 2),
                         [](const testing::TestParamInfo<int>& info) {
                             return info.param == 0 ? std::string("None") : std::string("Two");
                         });

TEST_F(ExportWizard, AMissingViewerProgramIsNamed)
{
    ASSERT_TRUE(QFile::remove(viewerProgram()));
    start(photos(1), "rbAlbum");
    QString message;
    onModal<QMessageBox>([&message](QMessageBox* box) {
        message = box->text();
        box->accept();
    });
    clickCreate(path("out/album"));
    EXPECT_EQ(message, GetText(421) + QLatin1Char('\n') + viewerProgram());
    EXPECT_EQ(wizard->ActivePageIndex(), 1);
    EXPECT_EQ(temporaryFiles(), QStringList());
}

} // namespace

#include "CreateAlbumWizardTest.moc"
