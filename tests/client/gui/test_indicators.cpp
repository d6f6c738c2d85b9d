#include "link_state.h"
#include "linkindicator.h"
#include "resources.h"
#include "timeindicator.h"

#include <QImage>
#include <QLabel>
#include <QWidget>
#include <gtest/gtest.h>

#include <cstdint>

namespace {

// An owner with a picture and two time fields, on a clock moved by hand.
struct Row {
    std::int64_t ms = 1000;
    LinkState state{[this] { return ms; }};
    QWidget owner;
    QLabel* picture = new QLabel(&owner);
    QLabel* connection = new QLabel(QStringLiteral("00:00:00"), &owner);
    QLabel* target = new QLabel(QStringLiteral("00:00:00"), &owner);
    CLinkIndicator link{QStringLiteral("picture"), &state, &owner, Resources::linkUnlinked(),
        Resources::linkLinkedA(), Resources::linkLinkedB()};
    CTimeIndicator times{QStringLiteral("connection"), QStringLiteral("target"), &state, &owner};

    Row()
    {
        picture->setObjectName(QStringLiteral("picture"));
        connection->setObjectName(QStringLiteral("connection"));
        target->setObjectName(QStringLiteral("target"));
        state.Attach(reinterpret_cast<CKovClientApp*>(this));
    }

    // The colour at the centre of the square (column 13, row 12) and at a
    // corner of the picture.
    QRgb square() const { return picture->pixmap().toImage().pixel(13, 12); }
    QRgb corner() const { return picture->pixmap().toImage().pixel(0, 0); }
};

const QRgb grey = qRgb(192, 192, 192);

TEST(LinkPictures, AreDrawnPixelForPixel)
{
    const struct {
        QString path;
        QRgb square;
    } pictures[] = {{Resources::linkUnlinked(), qRgb(255, 0, 0)}, {Resources::linkLinkedA(), qRgb(0, 255, 0)},
        {Resources::linkLinkedB(), grey}};
    for (const auto& p : pictures) {
        const QImage image(p.path);
        ASSERT_EQ(image.size(), QSize(29, 27)) << p.path.toStdString();
        for (int y = 0; y < 27; ++y)
            for (int x = 0; x < 29; ++x) {
                const bool inSquare = x >= 11 && x < 17 && y >= 10 && y < 15;
                ASSERT_EQ(image.pixel(x, y), inSquare ? p.square : grey) << x << "," << y;
            }
    }
}

TEST(LinkIndicator, UnlinkedIsSteadyRed)
{
    Row row;
    for (int tick = 0; tick < 3; ++tick) {
        row.link.Refresh();
        EXPECT_EQ(row.square(), qRgb(255, 0, 0));
    }
    EXPECT_EQ(row.link.blinkPhase(), 0);
    EXPECT_EQ(row.picture->accessibleDescription(), QStringLiteral("not linked"));
}

TEST(LinkIndicator, LinkedBlinksStartingWithTheEmptyField)
{
    Row row;
    row.state.SetConnected(1);
    const QRgb expected[] = {grey, qRgb(0, 255, 0), grey, qRgb(0, 255, 0)};
    for (QRgb colour : expected) {
        row.link.Refresh();
        EXPECT_EQ(row.square(), colour);
        EXPECT_EQ(row.corner(), grey);
    }
    EXPECT_EQ(row.picture->accessibleDescription(), QStringLiteral("linked"));
}

TEST(LinkIndicator, MissingControlIsSkipped)
{
    Row row;
    CLinkIndicator stray(QStringLiteral("noSuchPicture"), &row.state, &row.owner, Resources::linkUnlinked(),
        Resources::linkLinkedA(), Resources::linkLinkedB());
    stray.Refresh();
    EXPECT_TRUE(row.picture->pixmap().isNull());
}

TEST(TimeIndicator, ShowsBothTimes)
{
    Row row;
    row.times.Refresh();
    EXPECT_EQ(row.connection->text(), QStringLiteral("00:00:00"));

    row.state.SetConnected(1);
    row.state.SetTargetOnSeconds(90061, row.state.connection());
    row.ms += 3725 * 1000 + 999;
    row.times.Refresh();
    EXPECT_EQ(row.connection->text(), QStringLiteral("01:02:05"));
    EXPECT_EQ(row.target->text(), QStringLiteral("25:01:01"));

    row.state.SetConnected(0);
    row.times.Refresh();
    EXPECT_EQ(row.connection->text(), QStringLiteral("00:00:00"));
    EXPECT_EQ(row.target->text(), QStringLiteral("00:00:00"));
}

} // namespace
