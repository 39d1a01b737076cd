#include "EncodeCredential.h"

#include "CredentialKey.h"
#include "ProgramData.h"
#include "uLanguage.h"

#include <QFile>

#include <mutex>

namespace {

enum : unsigned
{
    TextKeyFileUnusable = 558,
};

// Read once; a failure is read again next time, so a repaired file is picked up.
const upload::CredentialKey* sharedKey(QString* error)
{
    static std::mutex mutex;
    static std::optional<upload::CredentialKey> key;
    const std::lock_guard lock(mutex);
    if (!key) {
        const QString path = programDataFile(QStringLiteral("credential-key.txt"));
        std::string why;
        key = upload::CredentialKey::load(QFile::encodeName(path).toStdString(), &why);
        if (!key) {
            if (error)
                *error = GetText(TextKeyFileUnusable).arg(QString::fromStdString(why));
            return nullptr;
        }
    }
    return &*key;
}

} // namespace

std::optional<QByteArray> EncodeCredential(const QString& text, QString* error)
{
    const upload::CredentialKey* key = sharedKey(error);
    if (!key)
        return std::nullopt;
    const QByteArray utf8 = text.toUtf8();
    const std::string encoded = key->encode(std::string(utf8.constData(), utf8.size()));
    return QByteArray(encoded.data(), static_cast<qsizetype>(encoded.size()));
}
