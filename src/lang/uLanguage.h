// The current language and the lookup of user-interface texts by id.
#pragma once

#include <QString>
#include <QtGlobal>

// Also the number the photo site is sent; the order must not change.
enum LanguageNumber : quint8
{
    LangEnglish = 1,
    LangItalian,
    LangFrench,
    LangGerman,
    LangSpanish,
    LangDutch,
};

// Reads "Language" from the machine settings; anything but DE, FR, ES, IT or NL (exactly,
// case-sensitive) leaves English. Never throws. Called once at start-up.
void LoadLanguage();

// The text of the row in that language; empty for an unknown id or a language outside 1-6.
QString GetTextFor(unsigned id, unsigned language);

// The text in the current language, falling back to English when that text is empty.
// Safe from any thread.
QString GetText(unsigned id);

quint8 CurrentLanguage();
