#include "WaitCursor.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

Qt::CursorShape shownShape()
{
    const QCursor* cursor = QGuiApplication::overrideCursor();
    return cursor ? cursor->shape() : Qt::ArrowCursor;
}

bool anyOverride()
{
    return QGuiApplication::overrideCursor() != nullptr;
}

TEST(WaitCursor, ShowsTheHourglassForItsScopeOnly)
{
    ASSERT_FALSE(anyOverride());
    {
        const WaitCursor wait;
        EXPECT_EQ(shownShape(), Qt::WaitCursor);
    }
    EXPECT_FALSE(anyOverride());
    {
        const WaitCursor starting(Qt::BusyCursor);
        EXPECT_EQ(shownShape(), Qt::BusyCursor);
    }
    EXPECT_FALSE(anyOverride());
}

TEST(WaitCursor, NestedGuardsRestoreThePreviousCursor)
{
    {
        const WaitCursor outer(Qt::BusyCursor);
        {
            const WaitCursor inner;
            EXPECT_EQ(shownShape(), Qt::WaitCursor);
        }
        EXPECT_EQ(shownShape(), Qt::BusyCursor);
    }
    EXPECT_FALSE(anyOverride());
}

int workWithEarlyReturn(bool early)
{
    const WaitCursor wait;
    if (early)
        return 1;
    return shownShape() == Qt::WaitCursor ? 2 : 0;
}

TEST(WaitCursor, RestoresOnEveryWayOut)
{
    EXPECT_EQ(workWithEarlyReturn(true), 1);
    EXPECT_FALSE(anyOverride());
    EXPECT_EQ(workWithEarlyReturn(false), 2);
    EXPECT_FALSE(anyOverride());

    EXPECT_THROW(
        {
            const WaitCursor wait;
            throw std::runtime_error("disk full");
        },
        std::runtime_error);
    EXPECT_FALSE(anyOverride());
}

} // namespace
