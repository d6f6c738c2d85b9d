#include "pdf_report.h"

#include "alarm_point.h"
#include "report_plots.h"
#include "utc_time.h"

#include <QDateTime>
#include <QIODevice>
#include <QPdfWriter>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>

namespace Report {

namespace {

using History::noData;

constexpr int dpi = 144;
const QColor ink(20, 20, 20);
const QColor rule(170, 170, 170);
const QColor notMet(190, 0, 0);

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

QString value(double v, const char* unit)
{
    return std::isfinite(v) ? QStringLiteral("%1 %2").arg(v, 0, 'f', 2).arg(QString::fromUtf8(unit))
                            : QStringLiteral("–");
}

QString duration(std::int64_t ms)
{
    return q(UtcTime::duration(ms));
}

// To the minute, or to the second where the range does not start and end
// on whole minutes.
QString rangeText(const Request& r)
{
    const bool minutes = r.fromMs % 60000 == 0 && r.toMs % 60000 == 0;
    auto at = [minutes](std::int64_t ms) { return q(minutes ? UtcTime::minute(ms) : UtcTime::second(ms)); };
    return QStringLiteral("%1 to %2 UTC").arg(at(r.fromMs), at(r.toMs));
}

// Every page of the report on one painter: the content area, the current
// line, tables and the footer with the page's number.
class Pages {
public:
    Pages(QPdfWriter& writer, const Figures& figures)
        : writer_(writer),
          figures_(figures),
          body_(QStringLiteral("DejaVu Sans"), 8),
          bold_(body_),
          small_(body_),
          title_(body_)
    {
        // No ligatures: "flood" is found as typed in a viewer's search.
        body_.setStyleStrategy(QFont::PreferNoShaping);
        bold_ = body_;
        small_ = body_;
        title_ = body_;
        bold_.setBold(true);
        small_.setPointSizeF(7);
        title_.setPointSizeF(15);
        title_.setBold(true);
        const double margin = 15.0 / 25.4 * dpi;
        area_ = QRectF(margin, margin, writer_.width() - 2 * margin, writer_.height() - 2 * margin - 30);
        y_ = area_.top();
    }

    void setTotal(int total) { total_ = total; }

    bool begin()
    {
        if (!painter_.begin(&writer_))
            return false;
        painter_.setMode(QCPPainter::pmVectorized);
        painter_.setRenderHint(QPainter::Antialiasing, true);
        return true;
    }

    void next()
    {
        footer();
        writer_.newPage();
        ++page_;
        y_ = area_.top();
    }

    void finish()
    {
        footer();
        painter_.end();
    }

    QCPPainter& painter() { return painter_; }
    const QRectF& area() const { return area_; }
    double y() const { return y_; }
    void skip(double height) { y_ += height; }
    double lineHeight(const QFont& font) const { return QFontMetricsF(font, &writer_).height() * 1.3; }
    double left() const { return area_.height() - (y_ - area_.top()); }
    const QFont& body() const { return body_; }

    void title(const QString& text)
    {
        line(text, title_);
        skip(6);
    }

    void heading(const QString& text)
    {
        skip(10);
        line(text, bold_);
        painter_.setPen(QPen(rule, 1));
        painter_.drawLine(QPointF(area_.left(), y_), QPointF(area_.right(), y_));
        skip(4);
    }

    void line(const QString& text, const QFont& font, const QColor& colour = ink)
    {
        painter_.setFont(font);
        painter_.setPen(colour);
        const double h = lineHeight(font);
        painter_.drawText(QRectF(area_.left(), y_, area_.width(), h), Qt::AlignLeft | Qt::AlignVCenter,
            QFontMetricsF(font, &writer_).elidedText(text, Qt::ElideRight, area_.width()));
        y_ += h;
    }

    void text(const QString& text) { line(text, body_); }

    // One row of a table: columns as shares of the width; a cell starting
    // with '!' is drawn in the colour for a target not met.
    void row(const QStringList& cells, const std::vector<double>& widths, bool header = false)
    {
        const QFont& font = header ? bold_ : body_;
        const double h = lineHeight(font);
        painter_.setFont(font);
        double x = area_.left();
        for (int i = 0; i < cells.size() && i < static_cast<int>(widths.size()); ++i) {
            const double w = widths[i] * area_.width();
            QString cell = cells[i];
            painter_.setPen(ink);
            if (cell.startsWith(QLatin1Char('!'))) {
                cell.remove(0, 1);
                painter_.setPen(notMet);
                painter_.setFont(bold_);
            }
            painter_.drawText(QRectF(x, y_, w - 6, h), Qt::AlignLeft | Qt::AlignVCenter,
                QFontMetricsF(painter_.font(), &writer_).elidedText(cell, Qt::ElideRight, w - 6));
            painter_.setFont(font);
            x += w;
        }
        y_ += h;
        if (header) {
            painter_.setPen(QPen(rule, 1));
            painter_.drawLine(QPointF(area_.left(), y_), QPointF(area_.right(), y_));
            y_ += 2;
        }
    }

private:
    void footer()
    {
        painter_.setFont(small_);
        painter_.setPen(ink);
        const QRectF band(area_.left(), area_.bottom() + 10, area_.width(), 30);
        painter_.drawText(band, Qt::AlignLeft | Qt::AlignVCenter,
            QStringLiteral("KOV report · %1 · %2")
                .arg(q(figures_.request.instrument), rangeText(figures_.request)));
        painter_.drawText(
            band, Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Page %1 of %2").arg(page_).arg(total_));
    }

    QPdfWriter& writer_;
    const Figures& figures_;
    int total_ = 1;
    int page_ = 1;
    QCPPainter painter_;
    QRectF area_;
    double y_ = 0;
    QFont body_, bold_, small_, title_;
};

void summary(Pages& pages, const Figures& f)
{
    const Request& r = f.request;
    pages.title(QStringLiteral("KOV report: %1").arg(q(r.instrument)));
    pages.text(QStringLiteral("Range: %1 (%2)").arg(rangeText(r), duration(r.toMs - r.fromMs)));
    pages.text(QStringLiteral("Made %1 UTC from %2").arg(q(UtcTime::minute(r.madeMs)), q(f.source)));

    pages.heading(QStringLiteral("Housings"));
    const std::vector<double> levels{0.22, 0.13, 0.11, 0.11, 0.11, 0.16, 0.16};
    pages.row({"Housing", "Quantity", "Least", "Mean", "Greatest", "In warning", "Over limit"}, levels, true);
    for (int housing = 0; housing < Housing::count; ++housing) {
        const HousingFigures& h = f.housings[housing];
        for (int quantity = 0; quantity < 2; ++quantity) {
            const QuantityFigures& v = quantity == 0 ? h.temperature : h.humidity;
            const char* unit = quantity == 0 ? "°C" : "%RH";
            pages.row({quantity == 0 ? QString::fromLatin1(Housing::names[housing]) : QString(),
                          quantity == 0 ? "Temperature" : "Humidity", value(v.least, unit),
                          value(v.mean, unit), value(v.greatest, unit), duration(v.warningMs),
                          (v.overMs > 0 ? "!" : "") + duration(v.overMs)},
                levels);
        }
    }

    pages.heading(
        QStringLiteral("Data completeness (gaps: no reading for over %1)").arg(duration(r.staleMs)));
    const std::vector<double> data{0.22, 0.11, 0.11, 0.11, 0.09, 0.12, 0.12, 0.12};
    pages.row(
        {"Housing", "Readings", "Expected", "Complete", "Gaps", "Missing", "Longest gap", "Water alarm"},
        data, true);
    for (int housing = 0; housing < Housing::count; ++housing) {
        const HousingFigures& h = f.housings[housing];
        const auto complete = h.completeness();
        pages.row({QString::fromLatin1(Housing::names[housing]), QString::number(h.readings),
                      h.expected > 0 ? QString::number(h.expected) : QStringLiteral("–"),
                      complete ? q(percent(*complete)) : QStringLiteral("–"), QString::number(h.gaps.size()),
                      duration(h.gapMs), duration(h.longestGapMs), duration(h.waterMs)},
            data);
    }

    pages.heading(QStringLiteral("Link to the instrument"));
    if (f.outages.empty()) {
        pages.text(QStringLiteral("Outages: none"));
    } else {
        pages.text(QStringLiteral("Outages: %1, %2 in all, the longest %3")
                       .arg(f.outages.size())
                       .arg(duration(f.outageMs), duration(f.longestOutageMs)));
    }

    pages.heading(QStringLiteral("Alarms against the guidelines (ISA-18.2, EEMUA 191)"));
    const std::vector<double> target{0.36, 0.30, 0.24, 0.10};
    pages.row({"Figure", "Measured", "Target", "Verdict"}, target, true);
    for (const Target& t : targets(f))
        pages.row({q(t.figure), q(t.measured), t.target.empty() ? QStringLiteral("–") : q(t.target),
                      t.target.empty() ? QString()
                          : t.met      ? QStringLiteral("met")
                                       : QStringLiteral("!not met")},
            target);

    pages.heading(QStringLiteral("Alarm points (the ten most frequent first)"));
    const std::vector<double> points{0.23, 0.06, 0.07, 0.12, 0.22, 0.10, 0.20};
    pages.row({"Point", "Alarms", "Share", "Most in 60 s", "Longest active", "Shelved", "Unacknowledged"},
        points, true);
    if (f.points.empty())
        pages.text(QStringLiteral("No alarms in the range."));
    for (const PointFigures& p : f.points) {
        if (pages.left() < pages.lineHeight(pages.body()) * 2) {
            pages.text(QStringLiteral("… more points in the CSV (--csv)"));
            break;
        }
        pages.row(
            {q(p.key), QString::number(p.raised), q(percent(p.share)),
                (p.chattering() ? "!" : "") + QString::number(p.mostInAMinute) +
                    (p.chattering() ? QStringLiteral(" chattering") : QString()),
                (p.standing() ? "!" : "") + duration(p.longestActiveMs) +
                    (p.standing() ? QStringLiteral(" standing") : QString()),
                duration(p.shelvedMs),
                p.unacknowledgedSinceMs ? q(UtcTime::minute(*p.unacknowledgedSinceMs)) : QStringLiteral("–")},
            points);
    }
}

// QCustomPlot's keys are seconds since 1970, as its date ticker counts them.
double key(std::int64_t ms)
{
    return static_cast<double>(ms) / 1000.0;
}

// The plot lays itself out with its own font metrics: fonts in pixels of
// the page keep that layout and the drawing in step.
QFont pixelFont(const QFont& pageFont)
{
    QFont font = pageFont;
    font.setPixelSize(static_cast<int>(std::lround(pageFont.pointSizeF() * dpi / 72.0)));
    return font;
}

QString tickFormat(std::int64_t fromMs, std::int64_t toMs)
{
    return toMs - fromMs > 2 * 86'400'000LL ? QStringLiteral("dd MMM") : QStringLiteral("dd MMM\nHH:mm");
}

void drawTrend(QCPPainter& painter, ReportPlots& plots, const QRectF& where, const Figures& f, int housing,
    bool humidity, const QFont& pageFont)
{
    const Request& r = f.request;
    const HousingFigures& h = f.housings[housing];
    QCustomPlot& plot = plots.trend();
    const QFont font = pixelFont(pageFont);
    for (QCPAxis* axis : {plot.xAxis, plot.yAxis}) {
        axis->setTickLabelFont(font);
        axis->setLabelFont(font);
    }
    plot.legend->setFont(font);
    if (auto ticker = plot.xAxis->ticker().dynamicCast<QCPAxisTickerDateTime>())
        ticker->setDateTimeFormat(tickFormat(r.fromMs, r.toMs));
    plot.xAxis->setRange(key(r.fromMs), key(r.toMs));
    plot.yAxis->setLabel(humidity ? QStringLiteral("Humidity (%RH)") : QStringLiteral("Temperature (°C)"));

    // The least and greatest of each bucket as a band, the mean through it;
    // an empty bucket breaks both.
    const std::int64_t bucket = trendBucketMs(r);
    QVector<double> keys, low, high, mean;
    std::int64_t previous = 0;
    for (const History::MinuteRollup& b : h.trend) {
        if (!keys.isEmpty() && b.minuteMs - previous > bucket) {
            keys << key(previous + bucket);
            low << qQNaN();
            high << qQNaN();
            mean << qQNaN();
        }
        previous = b.minuteMs;
        keys << key(b.minuteMs + bucket / 2);
        low << (humidity ? b.minHumidity : b.minTemperature);
        high << (humidity ? b.maxHumidity : b.maxTemperature);
        mean << (humidity ? b.meanHumidity : b.meanTemperature);
    }
    plots.low->setData(keys, low, true);
    plots.high->setData(keys, high, true);
    plots.mean->setData(keys, mean, true);

    // The limits as they were: each steps where a setpoint was changed.
    double lowest = qInf(), highest = -qInf();
    for (const QVector<double>* values : {&low, &high})
        for (double v : *values)
            if (std::isfinite(v)) {
                lowest = std::min(lowest, v);
                highest = std::max(highest, v);
            }
    for (const bool over : {false, true}) {
        QVector<double> limitKeys, limitValues;
        for (std::size_t i = 0; i < h.setpoints.size(); ++i) {
            const History::SetpointsInForce& s = h.setpoints[i];
            const double v = humidity ? (over ? s.overRh : s.rhWarning) : (over ? s.overTemp : s.tempWarning);
            limitKeys << key(i == 0 ? r.fromMs : std::max(r.fromMs, s.sinceMs));
            limitValues << v;
            lowest = std::min(lowest, v);
            highest = std::max(highest, v);
        }
        if (!limitValues.isEmpty()) {
            limitKeys << key(r.toMs);
            limitValues << limitValues.back();
        }
        (over ? plots.overLimit : plots.warning)->setData(limitKeys, limitValues, true);
    }
    if (!std::isfinite(lowest)) {
        lowest = 0;
        highest = 1;
    }
    const double room = std::max(0.5, (highest - lowest) * 0.08);
    plot.yAxis->setRange(lowest - room, highest + room);

    painter.save();
    painter.translate(where.topLeft());
    plot.toPainter(&painter, static_cast<int>(where.width()), static_cast<int>(where.height()));
    painter.restore();
}

void housingPage(Pages& pages, const Figures& f, int housing, ReportPlots& plots)
{
    const HousingFigures& h = f.housings[housing];
    pages.title(QString::fromLatin1(Housing::names[housing]));
    for (const bool humidity : {false, true}) {
        const QuantityFigures& v = humidity ? h.humidity : h.temperature;
        const char* unit = humidity ? "%RH" : "°C";
        pages.heading(humidity ? QStringLiteral("Humidity") : QStringLiteral("Temperature"));
        const QRectF where(
            pages.area().left(), pages.y(), pages.area().width(), pages.area().height() * 0.36);
        drawTrend(pages.painter(), plots, where, f, housing, humidity, pages.body());
        pages.skip(where.height() + 4);
        pages.text(QStringLiteral("Least %1, mean %2, greatest %3; in warning %4, over limit %5")
                       .arg(value(v.least, unit), value(v.mean, unit), value(v.greatest, unit),
                           duration(v.warningMs), duration(v.overMs)));
    }
    QStringList gaps;
    for (const History::ReadingGap& g : h.gaps)
        gaps << QStringLiteral("%1 to %2").arg(q(UtcTime::minute(g.fromMs)), q(UtcTime::clock(g.toMs)));
    pages.text(gaps.isEmpty()
            ? QStringLiteral("No gaps in the readings.")
            : QStringLiteral("Gaps: %1")
                  .arg(gaps.mid(0, 8).join(QStringLiteral("; ")) +
                      (gaps.size() > 8 ? QStringLiteral(" and %1 more").arg(gaps.size() - 8) : QString())));
}

// A UTC time axis: ticks on whole steps of a length that gives at most
// eight of them.
std::int64_t tickStep(std::int64_t spanMs)
{
    const std::int64_t minute = 60'000, hour = 60 * minute, day = 24 * hour;
    for (std::int64_t step : {minute, 5 * minute, 10 * minute, 15 * minute, 30 * minute, hour, 2 * hour,
             3 * hour, 6 * hour, 12 * hour, day, 2 * day, 7 * day, 14 * day, 28 * day})
        if (spanMs / step <= 8)
            return step;
    return 91 * day;
}

// One row per alarm point (the most severe first): a light red bar while
// in alarm, a dark one inside it while unacknowledged, hatched while
// shelved; spans closer than a drawn line are drawn as one.
void timelinePage(Pages& pages, const Figures& f)
{
    const Request& r = f.request;
    pages.title(QStringLiteral("Alarm timeline"));
    std::vector<std::string> rows;
    for (int i = 0; i < AlarmPoint::count; ++i)
        rows.push_back(AlarmPoint::at(i).name());
    for (const History::AlarmSpan& s : f.spans)
        if (std::find(rows.begin(), rows.end(), s.point) == rows.end())
            rows.push_back(s.point);

    QCPPainter& p = pages.painter();
    const QFont& font = pages.body();
    const double line = pages.lineHeight(font);
    const double labels = pages.area().width() * 0.24;
    const double rowHeight =
        std::min(42.0, (pages.left() - 6 * line) / std::max<std::size_t>(1, rows.size()));
    const QRectF plot(
        pages.area().left() + labels, pages.y(), pages.area().width() - labels, rowHeight * rows.size());
    const double span = static_cast<double>(r.toMs - r.fromMs);
    auto x = [&](std::int64_t ms) { return plot.left() + plot.width() * (ms - r.fromMs) / span; };

    const std::int64_t step = tickStep(r.toMs - r.fromMs);
    p.setFont(font);
    for (std::int64_t t = (r.fromMs + step - 1) / step * step; t <= r.toMs; t += step) {
        p.setPen(QPen(rule, 1));
        p.drawLine(QPointF(x(t), plot.top()), QPointF(x(t), plot.bottom() + 6));
        p.setPen(ink);
        p.drawText(QRectF(x(t) - 100, plot.bottom() + 6, 200, 2 * line), Qt::AlignHCenter | Qt::AlignTop,
            QDateTime::fromMSecsSinceEpoch(t, Qt::UTC).toString(tickFormat(r.fromMs, r.toMs)));
    }
    const std::int64_t join = std::max<std::int64_t>(1, (r.toMs - r.fromMs) / 2000);
    struct Lane {
        History::AlarmSpan::Kind kind;
        double half;
        QBrush brush;
    };
    const Lane lanes[] = {{History::AlarmSpan::Kind::Active, 0.36, QColor(255, 130, 130)},
        {History::AlarmSpan::Kind::Shelved, 0.36, QBrush(QColor(110, 110, 110), Qt::BDiagPattern)},
        {History::AlarmSpan::Kind::Unacknowledged, 0.13, QColor(150, 0, 0)}};
    for (std::size_t row = 0; row < rows.size(); ++row) {
        const double middle = plot.top() + rowHeight * (row + 0.5);
        p.setPen(ink);
        p.drawText(QRectF(pages.area().left(), middle - line / 2, labels - 10, line),
            Qt::AlignRight | Qt::AlignVCenter, q(pointKey(rows[row])));
        for (const Lane& lane : lanes) {
            std::vector<std::pair<std::int64_t, std::int64_t>> merged;
            for (const History::AlarmSpan& s : f.spans) {
                if (s.kind != lane.kind || s.point != rows[row])
                    continue;
                if (!merged.empty() && s.startMs - merged.back().second <= join)
                    merged.back().second = std::max(merged.back().second, s.endMs);
                else
                    merged.push_back({s.startMs, s.endMs});
            }
            p.setPen(Qt::NoPen);
            p.setBrush(lane.brush);
            for (const auto& [start, end] : merged)
                p.drawRect(QRectF(QPointF(x(start), middle - rowHeight * lane.half),
                    QPointF(std::max(x(end), x(start) + 1.5), middle + rowHeight * lane.half)));
            p.setBrush(Qt::NoBrush);
        }
    }
    p.setPen(QPen(ink, 1));
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    p.drawLine(plot.topLeft(), plot.bottomLeft());
    pages.skip(plot.height() + 3 * line);
    p.drawText(QRectF(plot.left(), pages.y() - line, plot.width(), line), Qt::AlignHCenter | Qt::AlignVCenter,
        QStringLiteral("UTC"));

    // The legend, drawn as the bars are.
    double left = pages.area().left();
    for (const auto& [brush, text] : {std::pair{QBrush(QColor(255, 130, 130)), QStringLiteral("active")},
             std::pair{QBrush(QColor(150, 0, 0)), QStringLiteral("unacknowledged")},
             std::pair{QBrush(QColor(110, 110, 110), Qt::BDiagPattern), QStringLiteral("shelved")}}) {
        p.setPen(Qt::NoPen);
        p.setBrush(brush);
        p.drawRect(QRectF(left, pages.y() + line * 0.2, line * 1.6, line * 0.6));
        p.setBrush(Qt::NoBrush);
        p.setPen(ink);
        p.drawText(QRectF(left + line * 2, pages.y(), 300, line), Qt::AlignLeft | Qt::AlignVCenter, text);
        left += 320;
    }
    pages.skip(line);
    pages.text(
        QStringLiteral("Each bar is one alarm point: light red while in alarm, dark red while nobody had "
                       "acknowledged it, hatched while shelved."));
}

const std::vector<double> eventColumns{0.20, 0.14, 0.36, 0.08, 0.22};

void eventHeader(Pages& pages)
{
    pages.row({"Time (UTC)", "Kind", "What", "User", "Detail"}, eventColumns, true);
}

int eventsPerPage(Pages& pages)
{
    const double row = pages.lineHeight(pages.body());
    return std::max(1, static_cast<int>((pages.area().height() - 3 * row - 60) / row));
}

} // namespace

QPageSize::PageSizeId paperFor(const std::string& localeName)
{
    // "language_TERRITORY.codeset@modifier"
    const auto underscore = localeName.find('_');
    if (underscore == std::string::npos)
        return QPageSize::A4;
    const std::string territory = localeName.substr(underscore + 1, 2);
    static const char* const letter[] = {
        "US", "CA", "MX", "CL", "CO", "CR", "GT", "PA", "PH", "PR", "VE", "SV", "NI", "DO", "BZ"};
    for (const char* t : letter)
        if (territory == t)
            return QPageSize::Letter;
    return QPageSize::A4;
}

QPageSize::PageSizeId paperFromEnvironment()
{
    for (const char* variable : {"LC_ALL", "LC_PAPER", "LANG"}) {
        const char* text = std::getenv(variable);
        if (text && *text)
            return paperFor(text);
    }
    return QPageSize::A4;
}

bool writePdf(QIODevice& device, const Figures& figures, ReportPlots& plots, QPageSize::PageSizeId paper,
    const Progress& progress, std::string& error)
{
    QPdfWriter writer(&device);
    writer.setResolution(dpi);
    writer.setPageSize(QPageSize(paper));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setTitle(
        QStringLiteral("KOV report %1, %2").arg(q(figures.request.instrument), rangeText(figures.request)));
    writer.setCreator(QStringLiteral("kovreport"));

    // The number of pages is known before the first is drawn.
    Pages pages(writer, figures);
    const int rows = static_cast<int>(figures.events.size()) + (figures.eventsLeftOut ? 1 : 0);
    const int perPage = eventsPerPage(pages);
    const int eventPages = std::max(1, (rows + perPage - 1) / perPage);
    const int total = 1 + Housing::count + 1 + eventPages;
    pages.setTotal(total);
    if (!pages.begin()) {
        error = "cannot write the PDF: " + device.errorString().toStdString();
        return false;
    }

    auto step = [&](int page) {
        return !progress || progress(85 + 15 * page / total, "page " + std::to_string(page));
    };
    summary(pages, figures);
    for (int housing = 0; housing < Housing::count; ++housing) {
        if (!step(2 + housing))
            return false;
        pages.next();
        housingPage(pages, figures, housing, plots);
    }
    pages.next();
    timelinePage(pages, figures);

    pages.next();
    pages.title(QStringLiteral("Alarms, warnings and operator actions"));
    eventHeader(pages);
    if (figures.events.empty())
        pages.text(QStringLiteral("None in the range."));
    int onPage = 0;
    for (const EventRow& e : figures.events) {
        if (onPage == perPage) {
            if (!step(total - eventPages + 1))
                return false;
            pages.next();
            eventHeader(pages);
            onPage = 0;
        }
        pages.row({q(UtcTime::second(e.timeMs)), q(e.kind), q(e.what), q(e.user), q(e.detail)}, eventColumns);
        ++onPage;
    }
    if (figures.eventsLeftOut)
        pages.text(QStringLiteral("Only the first %1 rows are listed; the history holds more.")
                       .arg(figures.events.size()));
    pages.finish();
    return true;
}

} // namespace Report
