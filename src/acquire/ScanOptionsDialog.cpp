#include "ScanOptionsDialog.h"

#include "ProgramVersion.h"
#include "SaneSession.h"
#include "ScanOptionArrangement.h"
#include "uLanguage.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <climits>
#include <cmath>

using scanoptions::Editor;

namespace {

enum : unsigned
{
    TextCancel = 3,
    TextOk = 7,
    TextSettings = 804,
    TextScan = 805,
    TextScanning = 806,
    TextPage = 807,
    TextAdvanced = 808,
    TextScanArea = 809,
    TextCannotUse = 810,
    TextScanStopped = 811,
    TextOtherSettings = 812,
    TextWaiting = 813,
    TextUnitPixel = 814,
    TextPagesNotSaved = 820,
};

constexpr QSize kInitialSize(520, 620);
constexpr int kSliderWidth = 120;
constexpr int kComboCharacters = 12;

QString unitText(SaneOption::Unit unit)
{
    switch (unit) {
    case SaneOption::Unit::None:
        return {};
    case SaneOption::Unit::Pixel:
        return GetText(TextUnitPixel);
    case SaneOption::Unit::Bit:
        return GetText(TextUnitPixel + 1);
    case SaneOption::Unit::Mm:
        return GetText(TextUnitPixel + 2);
    case SaneOption::Unit::Dpi:
        return GetText(TextUnitPixel + 3);
    case SaneOption::Unit::Percent:
        return GetText(TextUnitPixel + 4);
    case SaneOption::Unit::Microsecond:
        return GetText(TextUnitPixel + 5);
    }
    return {};
}

QString withUnit(const QString& text, SaneOption::Unit unit)
{
    const QString unitName = unitText(unit);
    return unitName.isEmpty() ? text : text + QLatin1Char(' ') + unitName;
}

// Enough decimals for the option's step, at most four.
int decimalsFor(const SaneOption& option)
{
    if (option.quant <= 0)
        return 2;
    int decimals = 0;
    double step = option.quant;
    while (decimals < 4 && std::fabs(step - std::round(step)) > 1e-6) {
        step *= 10;
        ++decimals;
    }
    return decimals;
}

QString numberText(double value, SaneOption::Type type)
{
    return type == SaneOption::Type::Int ? QString::number(qRound64(value))
                                         : QString::number(value, 'g', 8);
}

// Editors show values from the device without sending them back.
class SignalBlock
{
public:
    explicit SignalBlock(QObject* object) : mObject(object), mWas(object->blockSignals(true)) {}
    ~SignalBlock() { mObject->blockSignals(mWas); }

    SignalBlock(const SignalBlock&) = delete;
    SignalBlock& operator=(const SignalBlock&) = delete;

private:
    QObject* mObject;
    bool mWas;
};

// A text with a place for the detail takes it there; a list of failures goes below the text.
QString messageText(unsigned textId, const QString& detail)
{
    const QString text = GetText(textId);
    return text.contains(QLatin1String("%1")) ? text.arg(detail)
                                              : text + QLatin1String("\n\n") + detail;
}

} // namespace

struct ScanOptionsDialog::Private
{
    Private(SaneSession& s, const SaneDeviceInfo& info, const QString& folder)
        : session(s), device(info), destination(folder)
    {}

    // The widgets of one option.
    struct Widgets
    {
        Editor kind = Editor::None;
        QWidget* editor = nullptr;
        QSlider* slider = nullptr;
        QLabel* caption = nullptr;
    };

    SaneSession& session;
    const SaneDeviceInfo device;
    const QString destination;

    QStackedWidget* stack = nullptr;
    QLabel* lblWaiting = nullptr;
    QScrollArea* scroll = nullptr;
    QWidget* pnButtons = nullptr;
    QPushButton* btnScan = nullptr;
    QPushButton* btnCancel = nullptr;
    QWidget* pnProgress = nullptr;
    QLabel* lblScanning = nullptr;
    QLabel* lblPage = nullptr;
    QProgressBar* pbPage = nullptr;
    QPushButton* btnStop = nullptr;

    QList<SaneOption> options;
    // By position in options.
    QHash<int, Widgets> widgets;
    bool advancedOpen = false;
    bool optionsShown = false;
    bool scanning = false;
    bool closeWhenStopped = false;
    int pagesSaved = 0;
    QStringList failures;
};

ScanOptionsDialog::ScanOptionsDialog(SaneSession& session, const SaneDeviceInfo& device,
                                     const QString& destinationFolder, QWidget* parent)
    : QDialog(parent), d(std::make_unique<Private>(session, device, destinationFolder))
{
    setObjectName(QStringLiteral("frmScanOptions"));
    setWindowTitle(GetText(TextSettings) + QStringLiteral(" - ") + device.displayName());
    if (parent)
        setFont(parent->font());
    resize(kInitialSize);

    auto* layout = new QVBoxLayout(this);
    d->stack = new QStackedWidget(this);
    d->lblWaiting = new QLabel(GetText(TextWaiting));
    d->lblWaiting->setObjectName(QStringLiteral("lblWaiting"));
    d->lblWaiting->setAlignment(Qt::AlignCenter);
    d->stack->addWidget(d->lblWaiting);
    d->scroll = new QScrollArea;
    d->scroll->setObjectName(QStringLiteral("scrollOptions"));
    d->scroll->setWidgetResizable(true);
    d->scroll->setFrameShape(QFrame::NoFrame);
    // The editors narrow to the window; long choices are read in the open list.
    d->scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    d->stack->addWidget(d->scroll);
    layout->addWidget(d->stack, 1);

    d->pnProgress = new QWidget(this);
    d->pnProgress->setObjectName(QStringLiteral("pnProgress"));
    auto* progress = new QGridLayout(d->pnProgress);
    progress->setContentsMargins(0, 0, 0, 0);
    d->lblScanning = new QLabel(GetText(TextScanning), d->pnProgress);
    QFont bold = d->lblScanning->font();
    bold.setBold(true);
    d->lblScanning->setFont(bold);
    d->lblPage = new QLabel(d->pnProgress);
    d->lblPage->setObjectName(QStringLiteral("lblPage"));
    d->pbPage = new QProgressBar(d->pnProgress);
    d->pbPage->setObjectName(QStringLiteral("pbPage"));
    d->btnStop = new QPushButton(GetText(TextCancel), d->pnProgress);
    d->btnStop->setObjectName(QStringLiteral("btnStop"));
    progress->addWidget(d->lblScanning, 0, 0);
    progress->addWidget(d->lblPage, 0, 1, Qt::AlignRight);
    progress->addWidget(d->pbPage, 1, 0, 1, 2);
    progress->addWidget(d->btnStop, 1, 2);
    d->pnProgress->hide();
    layout->addWidget(d->pnProgress);

    d->pnButtons = new QWidget(this);
    auto* buttons = new QHBoxLayout(d->pnButtons);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->addStretch(1);
    d->btnScan = new QPushButton(GetText(TextScan), d->pnButtons);
    d->btnScan->setObjectName(QStringLiteral("btnScan"));
    d->btnScan->setDefault(true);
    d->btnScan->setEnabled(false);
    d->btnCancel = new QPushButton(GetText(TextCancel), d->pnButtons);
    d->btnCancel->setObjectName(QStringLiteral("btnCancel"));
    buttons->addWidget(d->btnScan);
    buttons->addWidget(d->btnCancel);
    layout->addWidget(d->pnButtons);

    connect(d->btnScan, &QPushButton::clicked, this, &ScanOptionsDialog::btnScanClick);
    connect(d->btnCancel, &QPushButton::clicked, this, &ScanOptionsDialog::reject);
    connect(d->btnStop, &QPushButton::clicked, this, &ScanOptionsDialog::btnStopClick);

    connect(&session, &SaneSession::opened, this, &ScanOptionsDialog::deviceOpened);
    connect(&session, &SaneSession::optionsRead, this, &ScanOptionsDialog::showOptions);
    connect(&session, &SaneSession::optionSet, this, &ScanOptionsDialog::optionSet);
    connect(&session, &SaneSession::scanProgress, this, &ScanOptionsDialog::scanProgress);
    connect(&session, &SaneSession::pageSaved, this, [this] { ++d->pagesSaved; });
    connect(&session, &SaneSession::pageFailed, this, &ScanOptionsDialog::pageFailed);
    connect(&session, &SaneSession::scanFinished, this, &ScanOptionsDialog::scanFinished);
    session.open(device.name);
}

ScanOptionsDialog::~ScanOptionsDialog() = default;

const SaneDeviceInfo& ScanOptionsDialog::device() const
{
    return d->device;
}

bool ScanOptionsDialog::isScanning() const
{
    return d->scanning;
}

int ScanOptionsDialog::pagesSaved() const
{
    return d->pagesSaved;
}

const QList<SaneOption>& ScanOptionsDialog::options() const
{
    return d->options;
}

void ScanOptionsDialog::deviceOpened(bool ok, const QString& error)
{
    if (ok) {
        d->session.readOptions();
        return;
    }
    showError(TextCannotUse, error);
    QDialog::reject();
}

void ScanOptionsDialog::showOptions(const QList<SaneOption>& options)
{
    const bool rebuild = !d->optionsShown || !scanoptions::sameLayout(d->options, options);
    const QList<SaneOption> previous = d->options;
    d->options = options;
    if (rebuild) {
        buildEditors();
    } else {
        for (int i = 0; i < options.size(); ++i)
            if (options.at(i).value != previous.at(i).value ||
                options.at(i).active != previous.at(i).active ||
                options.at(i).settable != previous.at(i).settable)
                showValue(i);
    }
    if (!d->optionsShown) {
        d->optionsShown = true;
        d->stack->setCurrentWidget(d->scroll);
        d->btnScan->setEnabled(!d->scanning);
    }
    emit optionsShown();
}

void ScanOptionsDialog::buildEditors()
{
    QScrollBar* bar = d->scroll->verticalScrollBar();
    const int scrolledTo = bar->value();
    QByteArray focused;
    for (auto it = d->widgets.cbegin(); it != d->widgets.cend(); ++it) {
        const QWidget* focus = QApplication::focusWidget();
        if (focus &&
            (focus == it->editor || focus == it->slider || it->editor->isAncestorOf(focus)))
            focused = d->options.value(it.key()).name;
    }
    d->widgets.clear();

    const scanoptions::Arrangement arranged = scanoptions::arrange(d->options);
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("pnOptions"));
    auto* layout = new QVBoxLayout(content);
    if (!arranged.basic.isEmpty()) {
        auto* form = new QFormLayout;
        for (int position : arranged.basic)
            addEditor(form, position);
        layout->addLayout(form);
    }
    if (!arranged.area.isEmpty())
        layout->addWidget(buildSection(GetText(TextScanArea), arranged.area));
    for (const scanoptions::Section& section : arranged.groups)
        layout->addWidget(buildSection(section.title, section.options));
    if (!arranged.advanced.isEmpty()) {
        auto* toggle = new QToolButton(content);
        toggle->setObjectName(QStringLiteral("btnAdvanced"));
        toggle->setText(GetText(TextAdvanced));
        toggle->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        toggle->setAutoRaise(true);
        toggle->setCheckable(true);
        toggle->setChecked(d->advancedOpen);
        toggle->setArrowType(d->advancedOpen ? Qt::DownArrow : Qt::RightArrow);
        auto* advanced = new QWidget(content);
        advanced->setObjectName(QStringLiteral("pnAdvanced"));
        auto* inner = new QVBoxLayout(advanced);
        inner->setContentsMargins(0, 0, 0, 0);
        for (const scanoptions::Section& section : arranged.advanced)
            inner->addWidget(buildSection(section.title, section.options));
        advanced->setVisible(d->advancedOpen);
        connect(toggle, &QToolButton::toggled, this, [this, toggle, advanced](bool open) {
            d->advancedOpen = open;
            toggle->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
            advanced->setVisible(open);
        });
        layout->addWidget(toggle);
        layout->addWidget(advanced);
    }
    layout->addStretch(1);

    d->scroll->setWidget(content); // deletes the previous editors
    for (int i = 0; i < d->options.size(); ++i)
        if (d->widgets.contains(i))
            showValue(i);

    // The new editors are laid out before the scroll range allows the old position.
    content->adjustSize();
    bar->setValue(scrolledTo);
    QTimer::singleShot(
        0, this, [this, scrolledTo] { d->scroll->verticalScrollBar()->setValue(scrolledTo); });
    if (!focused.isEmpty())
        for (auto it = d->widgets.cbegin(); it != d->widgets.cend(); ++it)
            if (d->options.value(it.key()).name == focused && it->editor->isEnabled())
                it->editor->setFocus();
}

QWidget* ScanOptionsDialog::buildSection(const QString& title, const QList<int>& positions)
{
    auto* box = new QGroupBox(title.isEmpty() ? GetText(TextOtherSettings) : title);
    auto* form = new QFormLayout(box);
    for (int position : positions)
        addEditor(form, position);
    return box;
}

void ScanOptionsDialog::addEditor(QFormLayout* form, int position)
{
    const SaneOption& option = d->options.at(position);
    Private::Widgets w;
    w.kind = scanoptions::editorFor(option);
    const QString name = QString::fromLatin1(option.name);
    switch (w.kind) {
    case Editor::None:
        return;
    case Editor::CheckBox: {
        auto* box = new QCheckBox(option.title);
        connect(box, &QCheckBox::toggled, this,
                [this, position](bool on) { commit(position, on); });
        w.editor = box;
        break;
    }
    case Editor::PushButton: {
        auto* button = new QPushButton(option.title);
        connect(button, &QPushButton::clicked, this, [this, position] { commit(position, {}); });
        w.editor = button;
        break;
    }
    case Editor::Combo: {
        auto* combo = new QComboBox;
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        combo->setMinimumContentsLength(kComboCharacters);
        if (option.constraint == SaneOption::Constraint::StringList) {
            for (const QString& text : option.strings)
                combo->addItem(text, text);
        } else {
            for (double word : option.words)
                combo->addItem(withUnit(numberText(word, option.type), option.unit),
                               option.type == SaneOption::Type::Int ? QVariant(qRound(word))
                                                                    : QVariant(word));
        }
        connect(combo, &QComboBox::activated, this,
                [this, position, combo](int index) { commit(position, combo->itemData(index)); });
        w.editor = combo;
        break;
    }
    case Editor::LineEdit: {
        auto* edit = new QLineEdit;
        connect(edit, &QLineEdit::editingFinished, this, [this, position, edit] {
            if (edit->text() != d->options.value(position).value.toString())
                commit(position, edit->text());
        });
        w.editor = edit;
        break;
    }
    case Editor::SpinBox:
    case Editor::DoubleSpinBox: {
        const bool whole = w.kind == Editor::SpinBox;
        const bool ranged = option.constraint == SaneOption::Constraint::Range;
        QAbstractSpinBox* spin = nullptr;
        if (whole) {
            auto* box = new QSpinBox;
            box->setRange(ranged ? int(option.min) : INT_MIN, ranged ? int(option.max) : INT_MAX);
            if (option.quant > 0)
                box->setSingleStep(qMax(1, int(option.quant)));
            connect(box, &QSpinBox::valueChanged, this,
                    [this, position](int value) { commit(position, value); });
            spin = box;
        } else {
            auto* box = new QDoubleSpinBox;
            box->setDecimals(decimalsFor(option));
            box->setRange(ranged ? option.min : -1e9, ranged ? option.max : 1e9);
            box->setSingleStep(option.quant > 0 ? option.quant
                                                : (ranged ? (option.max - option.min) / 100 : 1));
            connect(box, &QDoubleSpinBox::valueChanged, this,
                    [this, position](double value) { commit(position, value); });
            spin = box;
        }
        // A value is sent when typing ends, not at every key.
        spin->setKeyboardTracking(false);
        const QString unit = unitText(option.unit);
        if (!unit.isEmpty()) {
            if (auto* box = qobject_cast<QSpinBox*>(spin))
                box->setSuffix(QLatin1Char(' ') + unit);
            else
                static_cast<QDoubleSpinBox*>(spin)->setSuffix(QLatin1Char(' ') + unit);
        }
        if (const int positions = scanoptions::sliderPositions(option); positions > 0) {
            auto* slider = new QSlider(Qt::Horizontal);
            slider->setObjectName(name + QStringLiteral("-slider"));
            slider->setRange(0, positions);
            slider->setMinimumWidth(kSliderWidth);
            // The device hears of the value where the user lets go.
            slider->setTracking(false);
            connect(slider, &QSlider::valueChanged, this, [this, position, spin](int at) {
                const double value = scanoptions::sliderValue(d->options.value(position), at);
                if (auto* box = qobject_cast<QSpinBox*>(spin))
                    box->setValue(qRound(value));
                else
                    static_cast<QDoubleSpinBox*>(spin)->setValue(value);
            });
            w.slider = slider;
        }
        w.editor = spin;
        break;
    }
    }

    w.editor->setObjectName(name);
    w.editor->setToolTip(option.description);
    QWidget* field = w.editor;
    if (w.slider) {
        field = new QWidget;
        auto* row = new QHBoxLayout(field);
        row->setContentsMargins(0, 0, 0, 0);
        row->addWidget(w.slider, 1);
        row->addWidget(w.editor);
    }
    if (w.kind == Editor::CheckBox || w.kind == Editor::PushButton) {
        form->addRow(field);
    } else {
        w.caption = new QLabel(option.title + QLatin1Char(':'));
        w.caption->setToolTip(option.description);
        w.caption->setBuddy(w.editor);
        form->addRow(w.caption, field);
    }
    d->widgets.insert(position, w);
}

void ScanOptionsDialog::showValue(int position)
{
    const auto it = d->widgets.constFind(position);
    if (it == d->widgets.cend())
        return;
    const SaneOption& option = d->options.at(position);
    const Private::Widgets& w = *it;
    const bool enabled = option.active && option.settable;
    w.editor->setEnabled(enabled);
    if (w.slider)
        w.slider->setEnabled(enabled);
    if (w.caption)
        w.caption->setEnabled(option.active);
    if (!option.value.isValid())
        return;

    SignalBlock block(w.editor);
    switch (w.kind) {
    case Editor::CheckBox:
        static_cast<QCheckBox*>(w.editor)->setChecked(option.value.toBool());
        break;
    case Editor::Combo: {
        auto* combo = static_cast<QComboBox*>(w.editor);
        int found = -1;
        for (int i = 0; i < combo->count() && found < 0; ++i) {
            const QVariant item = combo->itemData(i);
            if (option.constraint == SaneOption::Constraint::StringList
                    ? item.toString() == option.value.toString()
                    : std::fabs(item.toDouble() - option.value.toDouble()) < 1e-6)
                found = i;
        }
        combo->setCurrentIndex(found);
        break;
    }
    case Editor::LineEdit:
        static_cast<QLineEdit*>(w.editor)->setText(option.value.toString());
        break;
    case Editor::SpinBox:
        static_cast<QSpinBox*>(w.editor)->setValue(option.value.toInt());
        break;
    case Editor::DoubleSpinBox:
        static_cast<QDoubleSpinBox*>(w.editor)->setValue(option.value.toDouble());
        break;
    case Editor::PushButton:
    case Editor::None:
        break;
    }
    if (w.slider) {
        SignalBlock blockSlider(w.slider);
        w.slider->setValue(scanoptions::sliderPosition(option, option.value.toDouble()));
    }
}

void ScanOptionsDialog::commit(int position, const QVariant& value)
{
    if (position < 0 || position >= d->options.size())
        return;
    // Moving the spin box moves its slider too, before the device answers.
    const Private::Widgets w = d->widgets.value(position);
    if (w.slider && value.isValid()) {
        SignalBlock blockSlider(w.slider);
        w.slider->setValue(scanoptions::sliderPosition(d->options.at(position), value.toDouble()));
    }
    d->session.setOption(d->options.at(position).index, value);
}

void ScanOptionsDialog::optionSet(int, bool, bool, const QString& error)
{
    if (!error.isEmpty())
        showError(TextCannotUse, error);
    // Read back in every case: the device may have rounded the value (a resolution it does
    // not offer), changed others with it or refused it, and the editors show what it took.
    d->session.readOptions();
}

void ScanOptionsDialog::btnScanClick()
{
    if (d->scanning || !d->optionsShown)
        return;
    d->failures.clear();
    setScanning(true);
    scanProgress(1, 0);
    d->session.startScan(d->destination);
}

void ScanOptionsDialog::scanProgress(int page, int percent)
{
    if (!d->scanning)
        return;
    d->lblPage->setText(GetText(TextPage).arg(page));
    if (percent < 0) {
        d->pbPage->setRange(0, 0); // height unknown: a busy bar
    } else {
        d->pbPage->setRange(0, 100);
        d->pbPage->setValue(percent);
    }
}

void ScanOptionsDialog::pageFailed(int page, const QString& reason)
{
    d->failures << GetText(TextPage).arg(page) + QStringLiteral(": ") + reason;
}

void ScanOptionsDialog::scanFinished(int, int status, const QString& error)
{
    if (!d->scanning)
        return;
    setScanning(false);
    emit scanStopped(status);
    if (d->closeWhenStopped) {
        QDialog::reject();
        return;
    }
    if (!d->failures.isEmpty())
        showError(TextPagesNotSaved, d->failures.join(QLatin1Char('\n')));
    constexpr int kCancelled = 2;
    if (status == 0) {
        if (d->failures.isEmpty())
            accept();
    } else if (status != kCancelled) {
        showError(TextScanStopped, error);
    }
}

void ScanOptionsDialog::btnStopClick()
{
    d->btnStop->setEnabled(false);
    d->session.cancel();
}

void ScanOptionsDialog::reject()
{
    if (d->scanning) {
        d->closeWhenStopped = true;
        btnStopClick();
        return;
    }
    QDialog::reject();
}

void ScanOptionsDialog::setScanning(bool scanning)
{
    d->scanning = scanning;
    d->stack->setEnabled(!scanning);
    d->pnButtons->setVisible(!scanning);
    d->pnProgress->setVisible(scanning);
    d->btnStop->setEnabled(scanning);
    d->btnScan->setEnabled(!scanning && d->optionsShown);
    if (scanning)
        d->btnStop->setFocus();
}

void ScanOptionsDialog::showError(unsigned textId, const QString& detail)
{
    QMessageBox box(QMessageBox::Warning, QLatin1String(kApplicationTitle),
                    messageText(textId, detail), QMessageBox::NoButton, this);
    box.setObjectName(QStringLiteral("ScanError"));
    box.addButton(GetText(TextOk), QMessageBox::AcceptRole);
    box.exec();
}
