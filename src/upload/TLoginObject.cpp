#include "TLoginObject.h"

#include "HttpServerAddress.h"
#include "MachineSettings.h"
#include "ProxyResolver.h"

#include <QSettings>

namespace {

const QString kUserName = QStringLiteral("UserName");
const QString kAlbumId = QStringLiteral("AlbumID");
const QString kUploadFormat = QStringLiteral("UploadFormat");

} // namespace

void TLoginObject::LoadSettings()
{
    const std::unique_ptr<QSettings> settings = openUserSettings(false);
    // The file may exist only to name the site host: without a user name nobody has logged in.
    firstLogin = !settings || !settings->contains(kUserName);
    if (firstLogin)
        return;
    userName = settings->value(kUserName).toString();
    bool ok = false;
    const qint32 album = settings->value(kAlbumId).toInt(&ok);
    if (!ok)
        return;
    albumId = album;
    const qint32 format = settings->value(kUploadFormat).toInt(&ok);
    if (!ok)
        return;
    uploadFormat = TUploadFormat::fromSetting(format);
}

void TLoginObject::SaveSettings() const
{
    const std::unique_ptr<QSettings> settings = openUserSettings(true);
    if (!settings)
        return;
    settings->setValue(kUserName, userName);
    settings->setValue(kAlbumId, albumId);
    settings->setValue(kUploadFormat, uploadFormat.toSetting());
    settings->sync();
}

void TLoginObject::settleUploadFormat(const TUploadFormatList& formats)
{
    if (formats.indexOf(uploadFormat) < 0)
        uploadFormat = {-1, -1};
}

const TPhotoAlbum* TLoginObject::chosenAlbum() const
{
    const int index = albums.indexOfId(albumId);
    return index < 0 ? nullptr : &albums.at(index);
}

bool TLoginObject::usesProxy(const QString& siteHost)
{
    return !upload::proxyFor(upload::parseServerString(siteHost).baseUrl()).isEmpty();
}
