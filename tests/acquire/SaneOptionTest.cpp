// Scanner option descriptors and values between SANE's buffers and the dialog's values.
#include "SaneOption.h"

#include "SaneOptionConversion.h"

#include <gtest/gtest.h>

namespace {

SANE_Option_Descriptor descriptor(SANE_Value_Type type, SANE_Int size)
{
    SANE_Option_Descriptor d{};
    d.name = "opt";
    d.title = "Option";
    d.type = type;
    d.size = size;
    d.cap = SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT;
    return d;
}

TEST(SaneOptionValues, FixedArrayRoundTripsAndOneValueFillsIt)
{
    const SANE_Option_Descriptor d = descriptor(SANE_TYPE_FIXED, 3 * sizeof(SANE_Word));
    const SaneOption option = saneOptionFromDescriptor(4, d, {});
    EXPECT_EQ(option.count, 3);
    QByteArray buffer;
    ASSERT_TRUE(
        saneValueToBuffer(option, QVariantList{1.5, -2.25, 100.0}, d.size, buffer, nullptr));
    EXPECT_EQ(saneValueFromBuffer(option, buffer).toList(), (QVariantList{1.5, -2.25, 100.0}));
    ASSERT_TRUE(saneValueToBuffer(option, 7.0, d.size, buffer, nullptr));
    EXPECT_EQ(saneValueFromBuffer(option, buffer).toList(), (QVariantList{7.0, 7.0, 7.0}));
}

TEST(SaneOptionValues, WrongValuesAreRefusedNotCut)
{
    const SANE_Option_Descriptor text = descriptor(SANE_TYPE_STRING, 5);
    const SaneOption textOption = saneOptionFromDescriptor(1, text, {});
    QByteArray buffer;
    QString error;
    EXPECT_TRUE(saneValueToBuffer(textOption, QStringLiteral("Gray"), text.size, buffer, &error));
    EXPECT_EQ(saneValueFromBuffer(textOption, buffer).toString(), QStringLiteral("Gray"));
    EXPECT_FALSE(saneValueToBuffer(textOption, QStringLiteral("Color"), text.size, buffer, &error));
    EXPECT_FALSE(error.isEmpty());

    const SANE_Option_Descriptor number = descriptor(SANE_TYPE_INT, 2 * sizeof(SANE_Word));
    const SaneOption numberOption = saneOptionFromDescriptor(2, number, {});
    EXPECT_FALSE(
        saneValueToBuffer(numberOption, QVariantList{1, 2, 3}, number.size, buffer, nullptr));
    EXPECT_FALSE(
        saneValueToBuffer(numberOption, QStringLiteral("many"), number.size, buffer, nullptr));
}

TEST(SaneOptionValues, StringWithoutTerminatorEndsAtTheBuffer)
{
    const SaneOption option = saneOptionFromDescriptor(1, descriptor(SANE_TYPE_STRING, 4), {});
    EXPECT_EQ(saneValueFromBuffer(option, QByteArray("Gray", 4)).toString(),
              QStringLiteral("Gray"));
}

TEST(SaneOptionDescriptor, FixedWordListAndStateFlags)
{
    static const SANE_Word words[] = {3, SANE_FIX(75.0), SANE_FIX(150.5), SANE_FIX(300.0)};
    SANE_Option_Descriptor d = descriptor(SANE_TYPE_FIXED, sizeof(SANE_Word));
    d.unit = SANE_UNIT_DPI;
    d.cap |= SANE_CAP_INACTIVE | SANE_CAP_ADVANCED | SANE_CAP_AUTOMATIC;
    d.constraint_type = SANE_CONSTRAINT_WORD_LIST;
    d.constraint.word_list = words;
    const SaneOption option = saneOptionFromDescriptor(9, d, QStringLiteral("Geometry"));
    EXPECT_EQ(option.words, (QList<double>{75.0, 150.5, 300.0}));
    EXPECT_EQ(option.unit, SaneOption::Unit::Dpi);
    EXPECT_FALSE(option.active);
    EXPECT_TRUE(option.advanced && option.automatic && option.settable);
    EXPECT_EQ(option.group, QStringLiteral("Geometry"));
}

TEST(SaneOptionSource, FeederNames)
{
    EXPECT_TRUE(isFeederSource(QStringLiteral("Automatic Document Feeder")));
    EXPECT_TRUE(isFeederSource(QStringLiteral("ADF Duplex")));
    EXPECT_FALSE(isFeederSource(QStringLiteral("Flatbed")));
    EXPECT_FALSE(isFeederSource(QStringLiteral("Transparency Adapter")));
}

} // namespace
