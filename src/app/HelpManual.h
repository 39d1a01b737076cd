// Help and F1: the manual in the user's browser, the installed one first, else the photo
// site's online manual.
#pragma once

#include <QString>
#include <QUrl>

class QWidget;

// The photo site's base address for a SiteHost setting ("host", "host:port", either after
// "https://" or "http://"; plain http without a scheme); empty when it names no host.
QString photoSiteBaseAddress(const QString& siteHost);

// The installed Manual/manual.htm as a file address; else the online manual of the photo
// site that the user settings name; else an empty address.
QUrl manualAddress();

// Opens the manual in the user's browser, or says that it is not installed.
void openManual(QWidget* parent);
