// The small dialog that asks for the name of a new photo album.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

namespace upload {

inline constexpr int kAlbumNameMaxLength = 100;

// The position of the first character an album name may not hold (only A-Z, a-z, 0-9, space,
// "-" and "_" are allowed), or -1 when there is none.
int firstInvalidAlbumNameCharacter(const QString& name);

} // namespace upload

class TfrmAddPhotobook : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmAddPhotobook(QWidget* parent = nullptr);

    void ApplyTexts();
    void setName(const QString& name);
    // As typed; the caller trims it.
    QString name() const;

    // btnOKClick: a name with a character the site refuses keeps the dialog open.
    void accept() override;

private:
    QLabel* lblTitle = nullptr;
    QLineEdit* edName = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;
};
