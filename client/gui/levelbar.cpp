#include "levelbar.h"

#include "field_colour.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <qdrawutil.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr int gaugeHeight = 30;
constexpr int borderWidth = 2;
constexpr int maxUnits = 7;
constexpr int maxText = 19;

QString invalidDataText()
{
    return QStringLiteral("INVALID DATA");
}

// What a screen reader sees of a gauge: an indicator, its name and, as
// description, the shown value with the alarm state. Not a progress bar
// and no value interface: screen readers speak those as a share of the
// range ("40 percent"), which is not the reading.
class CLevelBarAccessible : public QAccessibleWidget {
public:
    explicit CLevelBarAccessible(CLevelBar* gauge) : QAccessibleWidget(gauge, QAccessible::Indicator) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Description)
            return gauge()->describe();
        return QAccessibleWidget::text(t);
    }

private:
    CLevelBar* gauge() const { return static_cast<CLevelBar*>(widget()); }
};

QAccessibleInterface* levelBarAccessible(const QString& className, QObject* object)
{
    if (className != QLatin1String(CLevelBar::staticMetaObject.className()))
        return nullptr;
    auto* gauge = qobject_cast<CLevelBar*>(object);
    return gauge ? new CLevelBarAccessible(gauge) : nullptr;
}

void drawTextClipped(
    QPainter& painter, const QRect& area, const QRect& clip, const QColor& colour, const QString& text)
{
    if (clip.isEmpty())
        return;
    painter.setClipRect(clip);
    painter.setPen(colour);
    painter.drawText(area, Qt::AlignCenter, text);
}

} // namespace

CLevelBar::CLevelBar(QWidget* parent)
    : QWidget(parent),
      repaint_([this] { update(); }, this),
      accessibleUpdates_([this](int) { tellDescription(); }, this),
      announcements_([this](int) { announceState(); }, this, true)
{
    // Reached by Tab, so that a screen reader user hears it.
    setFocusPolicy(Qt::TabFocus);
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(levelBarAccessible);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
}

bool CLevelBar::Create(bool border, bool showText, Rgb barColour, Rgb bkColour)
{
    if (created_)
        return false;
    border_ = border;
    showText_ = showText;
    barColour_ = barColour;
    bkColour_ = bkColour;
    setFixedHeight(gaugeHeight);
    setAttribute(Qt::WA_OpaquePaintEvent); // every pixel is painted from here on
    created_ = true;
    update();
    return true;
}

void CLevelBar::SetUnits(const QString& units)
{
    units_ = units.left(maxUnits);
    if (shown_ != Shown::Reading)
        return;
    textStale_ = true;
    repaint_.request();
}

void CLevelBar::SetValue(double reading, int min, int max)
{
    // An empty or inverted range has no scale to draw against.
    if (!created_ || max <= min)
        return;
    if (!mark_.isEmpty()) {
        mark_.clear();
        repaint_.request();
    }
    // -1 is the instrument's no-data value; a non-finite reading carries no data either.
    const bool invalid = !std::isfinite(reading) || std::trunc(reading) == -1.0;
    const Shown kind = invalid ? Shown::InvalidData : Shown::Reading;
    if (sameAsShown(kind, reading, min, max))
        return;
    shown_ = kind;
    reading_ = reading;
    min_ = min;
    max_ = max;
    if (kind == Shown::Reading) {
        // Clamping first keeps the cast defined for any reading; the bar is
        // full from max on and empty below min either way.
        whole_ = static_cast<std::int64_t>(std::clamp(reading, double(min) - 1.0, double(max)));
        textStale_ = true;
    }
    repaint_.request();
    accessibleUpdates_.changed();
}

void CLevelBar::ChangeBarColor(Rgb colour)
{
    SetBarColor(colour);
}

void CLevelBar::Reset()
{
    if (shown_ == Shown::Nothing)
        return;
    shown_ = Shown::Nothing;
    repaint_.request();
    accessibleUpdates_.changed();
}

bool CLevelBar::SetBarColor(Rgb colour)
{
    if (colour == barColour_)
        return true;
    barColour_ = colour;
    repaint_.request();
    return true;
}

bool CLevelBar::SetBkColor(Rgb colour)
{
    if (colour == bkColour_)
        return true;
    bkColour_ = colour;
    repaint_.request();
    return true;
}

void CLevelBar::setStateText(const QString& state, bool announce)
{
    if (state == stateText_)
        return;
    stateText_ = state;
    // A state not worth a word (no data for a moment) is told like a value.
    if (!announce) {
        accessibleUpdates_.changed();
        return;
    }
    accessibleUpdates_.stateChanged();
    tellDescription();
    if (announcePending_)
        return;
    // The reading that changed the state is set after it: spoken from the
    // event loop, the summary carries that reading.
    announcePending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            announcePending_ = false;
            announcements_.changed();
        },
        Qt::QueuedConnection);
}

void CLevelBar::announceState()
{
    if (stateText_ == announcedState_)
        return;
    announcedState_ = stateText_;
    emit alarmStateChanged(spokenSummary());
}

void CLevelBar::tellDescription()
{
    if (!QAccessible::isActive())
        return;
    QAccessibleEvent event(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&event);
}

void CLevelBar::setMark(const QString& mark)
{
    if (mark == mark_)
        return;
    mark_ = mark;
    repaint_.request();
}

void CLevelBar::setNote(const QString& note)
{
    if (note == note_)
        return;
    note_ = note;
    if (QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&event);
    }
}

QString CLevelBar::valueText() const
{
    switch (shown_) {
    case Shown::Reading:
        // Made when shown or read, not for every one of a flood of readings.
        if (textStale_)
            formatText();
        return text_;
    case Shown::InvalidData:
        return invalidDataText();
    case Shown::Nothing:
        break;
    }
    return {};
}

QRect CLevelBar::drawingArea() const
{
    return border_ ? rect().adjusted(borderWidth, borderWidth, -borderWidth, -borderWidth) : rect();
}

int CLevelBar::filledWidth() const
{
    const std::int64_t width = std::max(drawingArea().width(), 0);
    if (shown_ != Shown::Reading)
        return 0;
    const std::int64_t filled = width * (whole_ - min_) / (std::int64_t(max_) - min_);
    return static_cast<int>(std::clamp<std::int64_t>(filled, 0, width));
}

QString CLevelBar::describe() const
{
    const QString shown = shown_ == Shown::Nothing ? QStringLiteral("no reading") : valueText();
    const QString state = stateText_.isEmpty() ? shown : shown + QStringLiteral(", ") + stateText_;
    return note_.isEmpty() ? state : state + QStringLiteral(", ") + note_;
}

QString CLevelBar::spokenSummary() const
{
    return accessibleName() + QStringLiteral(", ") + describe();
}

void CLevelBar::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    update();
}

void CLevelBar::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update();
}

void CLevelBar::paintEvent(QPaintEvent*)
{
    if (!created_)
        return;
    QPainter painter(this);
    if (border_)
        qDrawWinPanel(&painter, rect(), palette(), true);
    const QRect area = drawingArea();
    const QColor bar = FieldColour::toQColor(barColour_);
    const QColor bk = FieldColour::toQColor(bkColour_);
    QRect filled = area;
    filled.setWidth(filledWidth());
    QRect rest = area;
    rest.setLeft(filled.left() + filled.width());
    painter.fillRect(filled, bar);
    painter.fillRect(rest, bk);
    if (showText_ && shown_ != Shown::Nothing) {
        const QString text = mark_.isEmpty() ? valueText() : valueText() + QStringLiteral("  ") + mark_;
        drawTextClipped(painter, area, filled, bk, text);
        drawTextClipped(painter, area, rest, bar, text);
    }
    if (hasFocus()) {
        painter.setClipping(false);
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = area.adjusted(1, 1, -1, -1);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

bool CLevelBar::sameAsShown(Shown kind, double reading, int min, int max) const
{
    if (kind != shown_ || min != min_ || max != max_)
        return false;
    // -0.0 and 0.0 compare equal but print differently.
    return kind == Shown::InvalidData ||
        (reading == reading_ && std::signbit(reading) == std::signbit(reading_));
}

void CLevelBar::formatText() const
{
    textStale_ = false;
    text_ = QString::asprintf("%12.2f%ls", reading_, qUtf16Printable(units_));
    text_.truncate(maxText);
    qsizetype blanks = 0;
    while (blanks < text_.size() && text_.at(blanks) == QLatin1Char(' '))
        ++blanks;
    text_.remove(0, blanks);
}
