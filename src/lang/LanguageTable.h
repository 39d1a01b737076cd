// The built-in user-interface texts: one row per text id, one UTF-8 text per language.
#pragma once

#include <QtGlobal>

#include <array>
#include <cstddef>
#include <span>

inline constexpr std::size_t kLanguageCount = 6;

// texts[0] is English, then Italian, French, German, Spanish, Dutch (language number - 1).
struct LanguageRow
{
    quint16 id;
    std::array<const char*, kLanguageCount> texts;
};

// All rows, sorted by id; the data lives for the whole program.
std::span<const LanguageRow> languageTable();

// The row with this id, or nullptr when the table has none.
const LanguageRow* findLanguageRow(unsigned id);
