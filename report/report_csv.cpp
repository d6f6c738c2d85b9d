#include "report_csv.h"

#include "utc_time.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace Report {

namespace {

std::string quoted(const std::string& field)
{
    if (field.find_first_of(",\"\r\n") == std::string::npos)
        return field;
    std::string out = "\"";
    for (char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

std::string value(double v)
{
    if (!std::isfinite(v))
        return {};
    char text[64];
    std::snprintf(text, sizeof text, "%.6g", v);
    return text;
}

std::string seconds(std::int64_t ms)
{
    return value(static_cast<double>(ms) / 1000.0);
}

class Table {
public:
    void row(const std::vector<std::string>& fields)
    {
        for (std::size_t i = 0; i < fields.size(); ++i)
            text_ += (i ? "," : "") + quoted(fields[i]);
        text_ += "\r\n";
    }
    std::string text() const { return text_; }

private:
    std::string text_;
};

} // namespace

std::string csv(const Figures& f)
{
    Table t;
    t.row({"section", "figure", "subject", "value", "unit", "target", "verdict"});
    const Request& r = f.request;
    t.row({"report", "instrument", "", r.instrument, "", "", ""});
    t.row({"report", "from", "", UtcTime::second(r.fromMs), "UTC", "", ""});
    t.row({"report", "to", "", UtcTime::second(r.toMs), "UTC", "", ""});
    t.row({"report", "made", "", UtcTime::second(r.madeMs), "UTC", "", ""});
    t.row({"report", "source", "", f.source, "", "", ""});
    for (int housing = 0; housing < Housing::count; ++housing) {
        const HousingFigures& h = f.housings[housing];
        const std::string name = Housing::keys[housing];
        for (int q = 0; q < 2; ++q) {
            const QuantityFigures& v = q == 0 ? h.temperature : h.humidity;
            const std::string subject = name + (q == 0 ? ".temperature" : ".humidity");
            const char* unit = q == 0 ? "degC" : "%RH";
            t.row({"housing", "least", subject, value(v.least), unit, "", ""});
            t.row({"housing", "mean", subject, value(v.mean), unit, "", ""});
            t.row({"housing", "greatest", subject, value(v.greatest), unit, "", ""});
            t.row({"housing", "in warning", subject, seconds(v.warningMs), "s", "", ""});
            t.row({"housing", "over limit", subject, seconds(v.overMs), "s", "", ""});
        }
        t.row({"housing", "water sensor in alarm", name + ".water", seconds(h.waterMs), "s", "", ""});
        t.row({"data", "readings", name, std::to_string(h.readings), "readings", "", ""});
        t.row(
            {"data", "expected", name, h.expected > 0 ? std::to_string(h.expected) : "", "readings", "", ""});
        const auto complete = h.completeness();
        t.row({"data", "complete", name, complete ? value(*complete * 100) : "", "%", "", ""});
        t.row({"data", "gaps", name, std::to_string(h.gaps.size()), "gaps", "", ""});
        t.row({"data", "gap time", name, seconds(h.gapMs), "s", "", ""});
        t.row({"data", "longest gap", name, seconds(h.longestGapMs), "s", "", ""});
    }
    t.row({"link", "outages", "link", std::to_string(f.outages.size()), "outages", "", ""});
    t.row({"link", "outage time", "link", seconds(f.outageMs), "s", "", ""});
    t.row({"link", "longest outage", "link", seconds(f.longestOutageMs), "s", "", ""});
    for (const Target& target : targets(f))
        t.row({"alarms", target.figure, "", value(target.value), target.unit, target.target,
            target.target.empty() ? ""
                : target.met      ? "met"
                                  : "not met"});
    for (const PointFigures& p : f.points) {
        t.row({"point", "alarms", p.key, std::to_string(p.raised), "alarms", "", ""});
        t.row({"point", "share", p.key, value(p.share * 100), "%", "", ""});
        t.row({"point", "most in 60 s", p.key, std::to_string(p.mostInAMinute), "alarms", "", ""});
        t.row({"point", "shelved", p.key, seconds(p.shelvedMs), "s", "", ""});
        t.row({"point", "longest active", p.key, seconds(p.longestActiveMs), "s", "", ""});
        t.row({"point", "unacknowledged since", p.key,
            p.unacknowledgedSinceMs ? UtcTime::second(*p.unacknowledgedSinceMs) : "", "UTC", "", ""});
    }
    return t.text();
}

} // namespace Report
