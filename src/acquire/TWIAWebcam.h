// The cameras the snapshot window can show: one camera's identity, and the program's one
// list of them, kept current while cameras are plugged in and out.
#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class WebcamDevices;

struct TWIAWebcam
{
    QString id;   // stable while the camera stays plugged in
    QString name; // shown to the user
};

class TWIAWebcamList : public QObject
{
    Q_OBJECT
public:
    // Takes the camera source; without one (or when it fails) the list stays empty.
    explicit TWIAWebcamList(std::unique_ptr<WebcamDevices> devices, QObject* parent = nullptr);
    ~TWIAWebcamList() override;

    // Reads the cameras again; changed() follows when the list is not the same as before.
    void Enumerate();

    int count() const { return int(mCameras.size()); }
    bool isEmpty() const { return mCameras.empty(); }
    const TWIAWebcam& at(int index) const { return mCameras.at(std::size_t(index)); }
    const TWIAWebcam* find(const QString& id) const;

    // Null when there is no camera source.
    WebcamDevices* devices() const { return mDevices.get(); }

signals:
    void changed();

private:
    std::unique_ptr<WebcamDevices> mDevices;
    std::vector<TWIAWebcam> mCameras;
};
