#include "CupsJob.h"

#include <gtest/gtest.h>

#include <map>

namespace {

struct OptionsCase
{
    const char* name;
    QPageSize::PageSizeId paper;
    QPageLayout::Orientation orientation;
    QPrinter::DuplexMode duplex;
    QPrinter::ColorMode colour;
    int copies;
    std::map<QString, QString> expected;
};

class CupsJobOptions : public ::testing::TestWithParam<OptionsCase>
{};

TEST_P(CupsJobOptions, FollowTheSettings)
{
    const OptionsCase& c = GetParam();
    PrintSettings settings;
    settings.pageLayout = QPageLayout(QPageSize(c.paper), c.orientation, {});
    settings.duplex = c.duplex;
    settings.colorMode = c.colour;
    settings.copies = c.copies;
    std::map<QString, QString> options;
    for (const auto& [name, value] : CupsJob::optionsFor(settings))
        options[name] = value;
    for (const auto& [name, value] : c.expected)
        EXPECT_EQ(options[name], value) << name.toStdString();
}

#define OPT(name, value)                                                                           \
    {                                                                                              \
        QStringLiteral(name), QStringLiteral(value)                                                \
    }

INSTANTIATE_TEST_SUITE_P(
    Settings, CupsJobOptions,
    ::testing::Values(OptionsCase{"A4PortraitColourOneSided",
                                  QPageSize::A4,
                                  QPageLayout::Portrait,
                                  QPrinter::DuplexNone,
                                  QPrinter::Color,
                                  1,
                                  {OPT("media", "A4"), OPT("orientation-requested", "3"),
                                   OPT("sides", "one-sided"), OPT("print-color-mode", "color"),
                                   OPT("copies", "1")}},
                      OptionsCase{"LetterLandscapeGreyAutoDuplex",
                                  QPageSize::Letter,
                                  QPageLayout::Landscape,
                                  QPrinter::DuplexAuto,
                                  QPrinter::GrayScale,
                                  3,
                                  {OPT("media", "Letter"), OPT("orientation-requested", "4"),
                                   OPT("sides", "two-sided-short-edge"),
                                   OPT("print-color-mode", "monochrome"), OPT("copies", "3")}},
                      OptionsCase{"LongEdgeAsChosen",
                                  QPageSize::A5,
                                  QPageLayout::Landscape,
                                  QPrinter::DuplexLongSide,
                                  QPrinter::Color,
                                  0,
                                  {OPT("sides", "two-sided-long-edge"), OPT("copies", "1")}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
