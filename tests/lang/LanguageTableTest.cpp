#include "LanguageTable.h"

#include "uLanguage.h"

#include <QString>

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

namespace {

constexpr unsigned kLanguages[] = {LangEnglish, LangItalian, LangFrench,
                                   LangGerman,  LangSpanish, LangDutch};

struct IdBlock
{
    unsigned first;
    unsigned last;
};
// One block a window family: new texts of a family go into its block.
constexpr IdBlock kBlocks[] = {{1, 7},     {100, 199}, {201, 299}, {301, 399},
                               {401, 499}, {501, 599}, {601, 699}, {800, 899}};

bool inSomeBlock(unsigned id)
{
    for (const IdBlock& block : kBlocks) {
        if (id >= block.first && id <= block.last) {
            return true;
        }
    }
    return false;
}

std::string where(const LanguageRow& row, std::size_t language)
{
    return "id " + std::to_string(row.id) + ", language " + std::to_string(language + 1);
}

TEST(LanguageTable, HoldsAtLeastTheFirst208UniqueSortedIdsWithinTheFeatureBlocks)
{
    const auto rows = languageTable();
    ASSERT_GE(rows.size(), 209u);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_TRUE(inSomeBlock(rows[i].id)) << "id " << rows[i].id;
        if (i > 0) {
            EXPECT_LT(rows[i - 1].id, rows[i].id) << "at index " << i;
        }
    }
}

TEST(LanguageTable, EveryCellIsNonEmptyTrimmedValidUtf8)
{
    for (const LanguageRow& row : languageTable()) {
        for (std::size_t lang = 0; lang < row.texts.size(); ++lang) {
            const char* raw = row.texts[lang];
            ASSERT_NE(raw, nullptr) << where(row, lang);
            const QString text = QString::fromUtf8(raw);
            EXPECT_FALSE(text.isEmpty()) << where(row, lang);
            EXPECT_EQ(text.toUtf8(), QByteArray(raw)) << "invalid UTF-8, " << where(row, lang);
            EXPECT_EQ(text.trimmed(), text) << "outer whitespace, " << where(row, lang);
            EXPECT_FALSE(text.contains(QStringLiteral("  "))) << where(row, lang);
        }
    }
}

TEST(LanguageTable, OnlyRows109And504BreakTheLineOnceWithCrLfInEveryLanguage)
{
    for (const LanguageRow& row : languageTable()) {
        const bool twoLines = row.id == 109 || row.id == 504;
        for (std::size_t lang = 0; lang < row.texts.size(); ++lang) {
            const QString text = QString::fromUtf8(row.texts[lang]);
            const int crlf = text.count(QStringLiteral("\r\n"));
            EXPECT_EQ(crlf, twoLines ? 1 : 0) << where(row, lang);
            EXPECT_EQ(text.count(QLatin1Char('\r')), crlf) << "lone CR, " << where(row, lang);
            EXPECT_EQ(text.count(QLatin1Char('\n')), crlf) << "lone LF, " << where(row, lang);
        }
    }
}

TEST(LanguageTable, ProductNamesStayUntranslated)
{
    for (const LanguageRow& row : languageTable()) {
        const QString english = QString::fromUtf8(row.texts[0]);
        for (const QString& name : {QStringLiteral("Velko Fotodesk"),
                                    QStringLiteral("Velko Photosite"), QStringLiteral("TWAIN")}) {
            if (!english.contains(name)) {
                continue;
            }
            for (std::size_t lang = 1; lang < row.texts.size(); ++lang) {
                EXPECT_TRUE(QString::fromUtf8(row.texts[lang]).contains(name))
                    << name.toStdString() << ", " << where(row, lang);
            }
        }
    }
}

TEST(LanguageTable, FindsEveryRowAndNothingBetween)
{
    for (const LanguageRow& row : languageTable()) {
        EXPECT_EQ(findLanguageRow(row.id), &row);
    }
    for (const unsigned missing : {0u, 8u, 99u, 200u, 300u, 514u, 700u, 999u, 65536u + 1u}) {
        EXPECT_EQ(findLanguageRow(missing), nullptr) << missing;
    }
}

TEST(LanguageLookup, CommonRowsInAllSixLanguages)
{
    using Row = std::array<const char*, 6>;
    const std::pair<unsigned, Row> given[] = {
        {1, {"Next", "Avanti", "Suivant", "Weiter", "Siguiente", "Volgende"}},
        {2, {"Previous", "Precedente", "Précédent", "Zurück", "Anterior", "Vorige"}},
        {3, {"Cancel", "Annulla", "Annuler", "Abbrechen", "Cancelar", "Annuleren"}},
        {4, {"Close", "Chiudi", "Fermer", "Schließen", "Cerrar", "Sluiten"}},
        {5, {"Yes", "Sì", "Oui", "Ja", "Si", "Ja"}},
        {6, {"No", "No", "Non", "Nein", "No", "Nee"}},
        {7, {"OK", "OK", "OK", "OK", "OK", "OK"}},
        {220, {"Retry", "Riprova", "Réessayer", "Wiederholen", "Reintentar", "Opnieuw"}},
        {221, {"Skip", "Salta", "Ignorer", "Überspringen", "Omitir", "Overslaan"}},
        {225, {"Yes to all", "Si tutti", "Oui à tout", "Ja für alle", "Sí a todo", "Ja op alles"}},
    };
    for (const auto& [id, texts] : given) {
        for (const unsigned lang : kLanguages) {
            EXPECT_EQ(GetTextFor(id, lang), QString::fromUtf8(texts[lang - 1]))
                << "id " << id << ", language " << lang;
        }
    }
    EXPECT_EQ(GetTextFor(5, LangDutch), GetTextFor(5, LangGerman));
}

TEST(LanguageLookup, EnglishKeepsItsSpecialCharacters)
{
    EXPECT_EQ(GetTextFor(109, LangEnglish),
              QStringLiteral("Create photo viewer or\r\nscreensaver"));
    EXPECT_EQ(GetTextFor(504, LangEnglish),
              QStringLiteral("Enter your e-mail address and password for Velko Photosite.\r\nIf "
                             "you don't have an account yet, visit"));
    EXPECT_EQ(GetTextFor(507, LangEnglish), QStringLiteral("Field \"E-mail\" cannot be empty."));
    EXPECT_EQ(GetTextFor(642, LangEnglish), QString::fromUtf8("Rotate 90° clockwise"));
    EXPECT_EQ(GetTextFor(660, LangEnglish), QStringLiteral("black & white"));
}

TEST(LanguageLookup, UnknownIdsAndLanguagesAreEmpty)
{
    for (const unsigned lang : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 255u, 256u + 1u}) {
        EXPECT_TRUE(GetTextFor(0, lang).isEmpty()) << lang;
        EXPECT_TRUE(GetTextFor(999, lang).isEmpty()) << lang;
    }
    for (const unsigned lang : {0u, 7u, 255u, 256u + 1u}) {
        EXPECT_TRUE(GetTextFor(1, lang).isEmpty()) << lang;
    }
}

} // namespace
