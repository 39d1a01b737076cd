// The scrambling of the e-mail address and password in every request to the photo site,
// with the key the program shares with the site (credential-key.txt beside the program).
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The encoded UTF-8 bytes of text (ASCII letters upper-cased, so the site's passwords are
// case-insensitive). nullopt when the key file is missing or malformed; *error then says
// why, in the user's language, for the wizard to show. The key is read once per process.
std::optional<QByteArray> EncodeCredential(const QString& text, QString* error = nullptr);
