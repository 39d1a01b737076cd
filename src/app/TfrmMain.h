#pragma once

#include "ProgramVersion.h"

#include <QMainWindow>
#include <QStringList>

#include <memory>
#include <vector>

class QFrame;
class QLabel;
class QSplitter;
class QToolButton;
class QTreeWidgetItem;
class LinkLabel;
class TVelkoDirectoryTreeview;
class TPhoto;
class TVelkoImageScroller;
class TfrmEditPicture;
class TfrmPics;
class TfrmGetPhotos;
class TfrmPrint;
class TPrintPhotoObjectList;
class TfrmCreateAlbumEXE;
class TfrmUpload;
class TfrmWIA;
class TwainImport;
class TWIAWebcamList;

// The long-lived windows besides the main window, created once at start-up.
struct LongLivedWindows
{
    TfrmPics* frmPics = nullptr;
    TfrmGetPhotos* frmGetPhotos = nullptr;
    TfrmPrint* frmPrint = nullptr;
    TfrmCreateAlbumEXE* frmCreateAlbumEXE = nullptr;
    TfrmUpload* frmUpload = nullptr;
    TfrmWIA* frmWIA = nullptr;
};

// The main window: folder tree, thumbnail grid, command column and status bar.
class TfrmMain : public QMainWindow
{
    Q_OBJECT
public:
    explicit TfrmMain(QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Creates the other long-lived windows, in their start-up order, owned by this window.
    const LongLivedWindows& createLongLivedWindows();
    const LongLivedWindows& longLivedWindows() const { return mWindows; }

    // The message hook: sees every event of the program; true when it handled it.
    bool AppMessage(QObject* target, QEvent* event);

    // Comes to the front when a second copy asks for it.
    void bringToFront();

    TVelkoDirectoryTreeview* directoryTree() const { return VelkoDirectoryTreeview1; }
    TVelkoImageScroller* imageScroller() const { return VelkoImageScroller1; }
    // The cameras; the webcam command is shown while there is one.
    TWIAWebcamList* webcamList() const { return mWebcamList; }
    TwainImport* twainImport() const { return mTwainImport.get(); }
    int treeMaximumWidth() const;

    static QString captionFor(const QString& title, const QString& version);

signals:
    // A drive request reached the main window while no modal window was open; the wizard
    // opens right after.
    void driveRequestTaken(const QString& drivePath, bool fromSecondCopy);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // A click on the logo takes a webcam snapshot.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void applyTexts();
    void applySizeLimits();
    void showMyDocuments();
    void createEditFrame();
    // Edit: the grid's active photo, or the photo double-clicked, in the edit frame.
    void btnEditClick();
    void VelkoImageScroller1ItemDblClick(TPhoto* Photo);
    void editFrameClosed();
    // The frame takes over everything below the instruction bar.
    QRect editFrameArea() const;
    // A command of the column at its fixed place: its button, its label and their top.
    struct CommandSlot
    {
        QToolButton* button;
        LinkLabel* label;
        int top;
    };
    std::vector<CommandSlot> fixedCommands() const;
    // How far the commands below Print move down for the Upload command.
    int uploadShift() const;
    void layoutCommandColumn();
    void setWebcamCommandVisible(bool visible);

    void buildTopBand(QWidget* parent);
    void buildInstructionBar(QWidget* parent);
    QWidget* buildAlbums(QWidget* parent);
    QWidget* buildImageScroller(QWidget* parent);
    QWidget* buildCommandColumn(QWidget* parent);
    void buildStatusBar();
    QToolButton* makeButton(QWidget* parent, const char* name, const QString& iconName);
    LinkLabel* makeLink(QWidget* parent, const char* name);
    void placeCommand(QToolButton* button, QLabel* label, int top);
    void connectCommand(QToolButton* button, LinkLabel* label, void (TfrmMain::*command)());

    void VelkoDirectoryTreeview1Change(QTreeWidgetItem* node);
    void VelkoDirectoryTreeview1SelectedFolderMediaChanged();
    void btnSelectAllClick();
    void btnDeselectAllClick();
    void btnDeleteClick();
    void btnPrintClick();
    void btnUploadClick();
    void btnCreateViewFileClick();
    // Help and F1: the manual.
    void btnHelpClick();
    // The commands that work on the selected photos; text 114 when there are none.
    void photoCommand();
    void btnViewClick();
    void btnSlideshowClick();
    void openViewer(bool slideshow);
    // The full paths of the grid's selected photos, in grid order.
    QStringList selectedPhotoPaths() const;
    void showNoPhotosSelected();
    // Opens the Get Photos wizard in drive mode on the volume that holds the path.
    void handleDriveRequest(const QString& drivePath, bool fromSecondCopy);
    void btnGetPhotosClick();
    void btnSnapshotClick();
    void btnTWAINClick();

    LongLivedWindows mWindows;
    // The print-photo cache: a crop chosen in one print run is kept for the next.
    std::unique_ptr<TPrintPhotoObjectList> mPrintPhotos;
    TWIAWebcamList* mWebcamList = nullptr;
    std::unique_ptr<TwainImport> mTwainImport;

    QWidget* pnTop = nullptr;
    QWidget* pnLogo = nullptr;
    QLabel* imVelkoLogo = nullptr;
    QLabel* lblTitle = nullptr;
    QWidget* pnTopBottom = nullptr;
    QWidget* pnBar = nullptr;
    QLabel* cptSelectFolder = nullptr;
    QLabel* cptSelectedPhotos = nullptr;
    QWidget* pnAlbums = nullptr;
    TVelkoDirectoryTreeview* VelkoDirectoryTreeview1 = nullptr;
    QSplitter* Splitter1 = nullptr;
    QFrame* pnImageScroller = nullptr;
    QWidget* Panel2 = nullptr;
    QToolButton* btnGetPhotos = nullptr;
    LinkLabel* cptGetPhotos = nullptr;
    QToolButton* btnSelectAll = nullptr;
    QToolButton* btnDeselectAll = nullptr;
    QToolButton* btnTWAIN = nullptr;
    LinkLabel* cptTWAIN = nullptr;
    TVelkoImageScroller* VelkoImageScroller1 = nullptr;
    QWidget* pnButtons = nullptr;
    QToolButton* btnView = nullptr;
    LinkLabel* cptView = nullptr;
    QToolButton* btnSlideshow = nullptr;
    LinkLabel* cptSlideShow = nullptr;
    QToolButton* btnPrint = nullptr;
    LinkLabel* cptPrint = nullptr;
    QToolButton* btnUpload = nullptr;
    LinkLabel* cptUpload = nullptr;
    QToolButton* btnCreateViewFile = nullptr;
    LinkLabel* cptCreateViewFile = nullptr;
    QToolButton* btnScreenSaver = nullptr;
    LinkLabel* cptScreenSaver = nullptr;
    QToolButton* btnDelete = nullptr;
    LinkLabel* cptDelete = nullptr;
    QFrame* bvSeparator = nullptr;
    QFrame* bvSeparator2 = nullptr;
    QToolButton* btnEdit = nullptr;
    LinkLabel* lblEdit = nullptr;
    LinkLabel* cptEdit = nullptr;
    QLabel* lblFareDoppio = nullptr;
    QToolButton* btnSnapshot = nullptr;
    LinkLabel* cptSnapshot = nullptr;
    QToolButton* btnHelp = nullptr;
    LinkLabel* cptHelp = nullptr;
    QLabel* StatusPanel0 = nullptr;
    QLabel* StatusPanel1 = nullptr;
    TfrmEditPicture* frmEditPicture = nullptr;
    // The tree's and the grid's tab stops, taken while the edit frame is shown.
    Qt::FocusPolicy mTreeFocusPolicy = Qt::StrongFocus;
    Qt::FocusPolicy mGridFocusPolicy = Qt::StrongFocus;
};
