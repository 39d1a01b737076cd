// The photo-site account of the upload wizard: the login, its albums, the limits the site
// hands out and the choices kept in the user settings file between runs. The wizard creates
// one and keeps it for the program's lifetime, so a login survives reopening the wizard.
// GUI thread only (the answers are read there).
#pragma once

#include "TPhotoAlbum.h"
#include "TUploadFormat.h"

#include <QString>
#include <QtGlobal>

// The ten integers of a login answer, in answer order.
struct TLoginLimits
{
    qint32 mayChooseSize = 0;
    qint32 displayCopyMode = 0; // 0 never, 1 always, 2 by the cost rule
    qint32 unused = 0;
    qint32 standardWidth = 0;
    qint32 standardHeight = 0;
    qint32 thumbnailSize = 0;
    qint32 displayCopySeconds = 0;
    qint32 displayCopyPercent = 0;
    qint32 maxImageBytes = 0;
    qint32 preparationCap = 0;
};

class TLoginObject
{
public:
    TLoginObject() = default;

    // Reads "UserName", "AlbumID" and "UploadFormat" in that order from the user settings
    // file, stopping silently at the first that is missing or not a number. First login:
    // there is no settings file or it holds no "UserName" (the file may exist for "SiteHost").
    void LoadSettings();
    // Writes the three values, creating the file; failures are ignored. The password is
    // never written.
    void SaveSettings() const;

    // A saved format that the list does not hold becomes the recommended entry (-1, -1).
    void settleUploadFormat(const TUploadFormatList& formats);

    bool hasSession() const { return !session.isEmpty(); }
    // The chosen album, or nullptr when albumId is not in the list.
    const TPhotoAlbum* chosenAlbum() const;

    // Whether requests to the site go through a proxy (libproxy asked for siteHost's base
    // address). It may fetch a PAC file: run it off the GUI thread, before the first login
    // of the run (later logins send no proxy flag), and pass the result to the login builder.
    static bool usesProxy(const QString& siteHost);

    bool firstLogin = true;
    QString userName; // the e-mail address as typed
    QString password; // in memory only
    qint32 albumId = 0;
    TUploadFormat uploadFormat{-1, -1}; // a first run gets the recommended size
    // "yyyyMMddHHmmss/<user number>" of the run's first login; empty before it.
    QString session;
    QString userPath;
    qint32 userNumber = 0;
    TPhotoAlbumList albums;
    TLoginLimits limits;
    qint32 freeSpace = 0;
    QString uploadHost;
};
