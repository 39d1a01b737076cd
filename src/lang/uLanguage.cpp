#include "uLanguage.h"

#include "LanguageTable.h"
#include "MachineSettings.h"

#include <QVariant>

#include <array>
#include <atomic>
#include <utility>

namespace {

// Written only by LoadLanguage, read by any thread.
std::atomic<quint8> gCurrentLanguage{LangEnglish};

// First match wins, in this order.
constexpr std::array<std::pair<const char*, LanguageNumber>, 5> kCodes{{
    {"DE", LangGerman},
    {"FR", LangFrench},
    {"ES", LangSpanish},
    {"IT", LangItalian},
    {"NL", LangDutch},
}};

quint8 languageForCode(const QString& code)
{
    for (const auto& [text, language] : kCodes) {
        if (code == QLatin1String(text)) {
            return language;
        }
    }
    return LangEnglish;
}

void readLanguageSetting()
{
    const auto settings = openMachineSettings();
    if (!settings) {
        return;
    }
    // A value with a comma reads as a list and is no code.
    const QVariant value = settings->value(QStringLiteral("Language"));
    if (value.typeId() == QMetaType::QString) {
        gCurrentLanguage.store(languageForCode(value.toString()));
    }
}

} // namespace

void LoadLanguage()
{
    gCurrentLanguage.store(LangEnglish);
    try {
        readLanguageSetting();
    } catch (...) {
        // A settings failure must not stop start-up; the language stays as it is.
    }
}

QString GetTextFor(unsigned id, unsigned language)
{
    if (language < LangEnglish || language > LangDutch) {
        return {};
    }
    const LanguageRow* row = findLanguageRow(id);
    return row ? QString::fromUtf8(row->texts[language - 1]) : QString();
}

QString GetText(unsigned id)
{
    const quint8 language = CurrentLanguage();
    QString text = GetTextFor(id, language);
    if (text.isEmpty() && language != LangEnglish) {
        text = GetTextFor(id, LangEnglish);
    }
    return text;
}

quint8 CurrentLanguage()
{
    return gCurrentLanguage.load();
}
