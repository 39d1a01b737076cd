// The base window of every step-by-step window: a red header with the logo and the title, a
// black side bar listing the steps with the current one in red, and pages without tabs.
#pragma once

#include <QDialog>
#include <QStringList>

#include <memory>

class QStackedWidget;
class WizardPicture;

// A derived wizard adds its pages to PageControl1 and calls SetWizardSteps in its
// constructor, overrides ApplyTexts and moves with setActivePageIndex(ActivePageIndex() ± 1)
// from its own buttons. The frame is built when the window is first shown (or by
// ensureFrameBuilt), after the derived constructor has run, so that ApplyTexts reaches the
// override and the step list sees every page; until then steps and page are only stored.
// A size given with resize() before then is the page area; without one the pages' size hint
// is. The window keeps its size.
class TfrmWizard : public QDialog
{
    Q_OBJECT
    Q_PROPERTY(int ActivePageIndex READ ActivePageIndex WRITE setActivePageIndex)

public:
    explicit TfrmWizard(QWidget* parent = nullptr);
    ~TfrmWizard() override;

    // The picture is not owned; it must outlive the window (those of TfrmPics do).
    void SetWizardSteps(const QString& title, const QStringList& steps,
                        const WizardPicture* picture);

    int ActivePageIndex() const;
    // An index without a page is ignored.
    void setActivePageIndex(int index);

    bool isFrameBuilt() const;
    void ensureFrameBuilt();

    // The captions of the wizards' Next and Previous buttons.
    static QString nextButtonText();
    static QString previousButtonText();

    void setVisible(bool visible) override;

protected:
    // Sets every text of the window from the language table; called once the frame is built.
    virtual void ApplyTexts() {}
    // After every change of page; the base moves the red highlight, so an override calls it.
    virtual void PageControl1Change();

    QStackedWidget* const PageControl1;

private:
    void buildFrame();
    void buildStepLabels();

    struct Private;
    std::unique_ptr<Private> d;
};
