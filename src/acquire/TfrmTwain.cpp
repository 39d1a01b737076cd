#include "TfrmTwain.h"

#include "TfrmPics.h"
#include "WizardArtwork.h"
#include "uLanguage.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

enum : unsigned
{
    TextCancel = 3,
    TextOk = 7,
    TextTitle = 800,
    TextIntro = 802,
    TextSelectSource = 803,
};

constexpr QSize kPageArea(430, 300);

} // namespace

TfrmTwain::TfrmTwain(QWidget* parent, const TfrmPics* pics) : TfrmWizard(parent)
{
    setObjectName(QStringLiteral("frmTwain"));
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet1"));
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(8);

    lblIntro = new QLabel(page);
    lblIntro->setObjectName(QStringLiteral("lblIntro"));
    lblIntro->setWordWrap(true);
    layout->addWidget(lblIntro);
    layout->addSpacing(4);
    lblSelectSource = new QLabel(page);
    lblSelectSource->setObjectName(QStringLiteral("lblSelectSource"));
    layout->addWidget(lblSelectSource);
    lbxSources = new QListWidget(page);
    lbxSources->setObjectName(QStringLiteral("lbxSources"));
    layout->addWidget(lbxSources, 1);
    edDestination = new QLineEdit(page);
    edDestination->setObjectName(QStringLiteral("edDestination"));
    edDestination->setReadOnly(true);
    layout->addWidget(edDestination);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btnSelect = new QPushButton(page);
    btnSelect->setObjectName(QStringLiteral("btnSelect"));
    btnSelect->setDefault(true);
    btnCancel = new QPushButton(page);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    buttons->addWidget(btnSelect);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);
    PageControl1->addWidget(page);
    resize(kPageArea);

    connect(btnSelect, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    // A double-click on a device chooses it, as OK does.
    connect(lbxSources, &QListWidget::itemDoubleClicked, this, &QDialog::accept);

    FormCreate();
    SetWizardSteps(GetText(TextTitle), {},
                   pics ? &pics->imGetPhotos : &wizard::artwork::getPhotos());
}

void TfrmTwain::FormCreate()
{
    lblIntro->setText(GetText(TextIntro));
    lblSelectSource->setText(GetText(TextSelectSource));
    btnSelect->setText(GetText(TextOk));
    btnCancel->setText(GetText(TextCancel));
}

void TfrmTwain::addSource(const QString& caption, const QString& deviceName)
{
    auto* item = new QListWidgetItem(caption, lbxSources);
    item->setData(Qt::UserRole, deviceName);
    if (lbxSources->count() == 1)
        lbxSources->setCurrentRow(0);
}

void TfrmTwain::setDestination(const QString& folder)
{
    edDestination->setText(folder);
    edDestination->setCursorPosition(0);
}

QString TfrmTwain::selectedSource() const
{
    const QListWidgetItem* item = lbxSources->currentItem();
    return item ? item->data(Qt::UserRole).toString() : QString();
}
