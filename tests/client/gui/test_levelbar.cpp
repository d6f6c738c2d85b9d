#include "levelbar.h"

#include <QAccessible>
#include <QImage>
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <set>

namespace {

const Rgb green = DisplayColour::gaugeWithin;
const Rgb grey = DisplayColour::neutral;

QRgb rgb(Rgb c)
{
    return qRgb(c.r, c.g, c.b);
}

// A bordered gauge with a 200 px wide drawing area, as the main window makes
// them. Unsmoothed text, so every pixel is exactly one of the two colours.
struct Gauge {
    CLevelBar bar;

    Gauge()
    {
        bar.resize(204, 30);
        bar.Create(true, true, green, grey);
        bar.SetUnits(QStringLiteral("°C"));
        QFont font = bar.font();
        font.setStyleStrategy(QFont::NoAntialias);
        bar.setFont(font);
    }

    QImage area() { return bar.grab().toImage().copy(bar.drawingArea()); }

    // Bar-coloured pixels from the left of the top row, which no text
    // reaches; -1 when the rest of the row is not the background.
    int filled()
    {
        const QImage image = area();
        int x = 0;
        while (x < image.width() && image.pixel(x, 0) == rgb(bar.barColour()))
            ++x;
        for (int rest = x; rest < image.width(); ++rest)
            if (image.pixel(rest, 0) != rgb(bar.bkColour()))
                return -1;
        return x;
    }
};

std::set<QRgb> colours(const QImage& image)
{
    std::set<QRgb> found;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            found.insert(image.pixel(x, y));
    return found;
}

TEST(LevelBar, ShowsTheReadingAsBarAndText)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double reading;
        int min, max;
        const char* units;
        int filled;
        const char* text;
    } cases[] = {
        {23.456, 0, 50, "°C", 92, "23.46°C"},
        {51.0, 0, 50, "°C", 200, "51.00°C"},
        {1e20, 0, 50, "°C", 200, "1000000000000000000"},
        {-7.0, 0, 50, "°C", 0, "-7.00°C"},
        {-0.5, 0, 50, "°C", 0, "-0.50°C"},
        {-1.0, 0, 50, "°C", 0, "INVALID DATA"},
        {-1.5, 0, 100, "%", 0, "INVALID DATA"},
        {nan, 0, 50, "°C", 0, "INVALID DATA"},
        {-inf, 0, 50, "°C", 0, "INVALID DATA"},
        {60.9, 0, 100, "%", 120, "60.90%"},
        {1.0, 0, 50, "abcdefghij", 4, "1.00abcdefg"},
        {2e9, INT_MIN, INT_MAX, "°C", 193, "2000000000.00°C"},
    };
    for (const auto& c : cases) {
        Gauge gauge;
        gauge.bar.SetUnits(QString::fromUtf8(c.units));
        gauge.bar.SetValue(c.reading, c.min, c.max);
        EXPECT_EQ(gauge.filled(), c.filled) << c.reading;
        EXPECT_EQ(gauge.bar.filledWidth(), c.filled) << c.reading;
        EXPECT_EQ(gauge.bar.valueText(), QString::fromUtf8(c.text)) << c.reading;
        EXPECT_EQ(colours(gauge.area()), (std::set<QRgb>{rgb(green), rgb(grey)})) << c.reading;
    }
}

TEST(LevelBar, TextTakesTheOtherColourOnEachSideOfTheBarEnd)
{
    Gauge gauge;
    gauge.bar.SetValue(23.456, 0, 50);
    const QImage image = gauge.area();
    EXPECT_EQ(image.pixel(91, 0), rgb(green));
    EXPECT_EQ(image.pixel(92, 0), rgb(grey));
    EXPECT_TRUE(colours(image.copy(0, 0, 92, image.height())).count(rgb(grey)));
    EXPECT_TRUE(colours(image.copy(92, 0, 108, image.height())).count(rgb(green)));
}

TEST(LevelBar, InvalidDataAfterResetIsBarColouredTextOnTheBackground)
{
    Gauge gauge;
    gauge.bar.ChangeBarColor(DisplayColour::noData);
    gauge.bar.SetValue(10.0, 0, 50);
    gauge.bar.Reset();
    EXPECT_EQ(colours(gauge.area()), std::set<QRgb>{rgb(grey)});
    EXPECT_TRUE(gauge.bar.valueText().isEmpty());
    gauge.bar.SetValue(-1.0, 0, 50);
    EXPECT_EQ(colours(gauge.area()), (std::set<QRgb>{rgb(DisplayColour::noData), rgb(grey)}));
    EXPECT_EQ(gauge.filled(), 0);
}

TEST(LevelBar, PictureDependsOnlyOnTheLastReading)
{
    Gauge falling;
    falling.bar.show();
    falling.bar.SetValue(30.0, 0, 50);
    falling.bar.SetValue(25.0, 0, 50);
    const QImage shown = falling.area();
    falling.bar.hide();
    falling.bar.show();
    EXPECT_EQ(falling.area(), shown);
    Gauge direct;
    direct.bar.SetValue(25.0, 0, 50);
    EXPECT_EQ(direct.area(), shown);
    EXPECT_EQ(falling.filled(), 100);
}

TEST(LevelBar, EqualReadingTakesTheNewColour)
{
    Gauge gauge;
    gauge.bar.ChangeBarColor(DisplayColour::warning);
    gauge.bar.SetValue(30.0, 0, 50);
    gauge.bar.ChangeBarColor(DisplayColour::overLimit);
    gauge.bar.SetValue(30.0, 0, 50);
    EXPECT_EQ(gauge.area().pixel(0, 0), rgb(DisplayColour::overLimit));
    EXPECT_EQ(gauge.filled(), 120);
}

TEST(LevelBar, RangeWithoutWidthIsIgnored)
{
    Gauge gauge;
    gauge.bar.SetValue(10.0, 0, 50);
    for (int max : {50, 0, -10})
        gauge.bar.SetValue(40.0, 50, max);
    gauge.bar.SetValue(40.0, 0, 0);
    EXPECT_EQ(gauge.bar.valueText(), QStringLiteral("10.00°C"));
    EXPECT_EQ(gauge.filled(), 40);
}

TEST(LevelBar, IsCreatedOnce)
{
    CLevelBar bar;
    bar.SetValue(10.0, 0, 50); // not yet created: ignored
    EXPECT_TRUE(bar.valueText().isEmpty());
    EXPECT_TRUE(bar.Create(false, true, green, grey));
    EXPECT_FALSE(bar.Create(true, false, grey, green));
    EXPECT_EQ(bar.barColour(), green);
    EXPECT_EQ(bar.height(), 30);
}

TEST(LevelBar, ScreenReadersGetNameStateAndValueButNoShareOfTheRange)
{
    Gauge gauge;
    gauge.bar.setAccessibleName(QStringLiteral("Electronics housing temperature"));
    gauge.bar.setStateText(QStringLiteral("no data"));
    QAccessibleInterface* access = QAccessible::queryAccessibleInterface(&gauge.bar);
    ASSERT_TRUE(access);
    // A progress bar or a value would be spoken as "N percent".
    EXPECT_EQ(access->role(), QAccessible::Indicator);
    EXPECT_EQ(access->valueInterface(), nullptr);
    EXPECT_TRUE(access->state().focusable);
    EXPECT_EQ(access->text(QAccessible::Description), QStringLiteral("no reading, no data"));
    gauge.bar.SetValue(-1.0, 0, 50);
    EXPECT_EQ(access->text(QAccessible::Description), QStringLiteral("INVALID DATA, no data"));

    QStringList spoken;
    QObject::connect(&gauge.bar, &CLevelBar::alarmStateChanged, [&](const QString& s) { spoken << s; });
    gauge.bar.setStateText(QStringLiteral("warning"), true);
    gauge.bar.SetValue(23.456, 0, 50);
    EXPECT_EQ(access->text(QAccessible::Description), QStringLiteral("23.46°C, warning"));
    EXPECT_EQ(access->text(QAccessible::Name), QStringLiteral("Electronics housing temperature"));
    QCoreApplication::processEvents();
    // Spoken once, with the reading that changed the state.
    EXPECT_EQ(spoken, QStringList{QStringLiteral("Electronics housing temperature, 23.46°C, warning")});
}

} // namespace
