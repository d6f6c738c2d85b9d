#include "trend_export.h"

#include "csv_writer.h"
#include "housing.h"
#include "time_text.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

TrendExport::TrendExport(const std::string& path) : path_(path) {}

bool TrendExport::open()
{
    out_.open(path_, std::ios::binary | std::ios::trunc);
    if (!out_) {
        error_ = path_ + ": " + std::strerror(errno);
        return false;
    }
    out_ << CsvWriter::row({"time (UTC)", "housing", "temperature (°C)", "humidity (%)", "water",
        "temperature warning (°C)", "over temperature (°C)", "humidity warning (%)", "over humidity (%)"});
    return true;
}

void TrendExport::write(
    int housing, const TrendSample& sample, const std::vector<History::SetpointsInForce>& sets)
{
    auto after = std::upper_bound(sets.begin(), sets.end(), sample.timeMs,
        [](std::int64_t t, const History::SetpointsInForce& s) { return t < s.sinceMs; });
    std::vector<CsvWriter::Cell> fields{TimeText::isoMs(sample.timeMs),
        Housing::valid(housing) ? Housing::keys[housing] : "", CsvWriter::number(sample.temperature),
        CsvWriter::number(sample.humidity), sample.water ? "alarm" : "ok"};
    if (after != sets.begin()) {
        const History::SetpointsInForce& in = *(after - 1);
        for (double v : {in.tempWarning, in.overTemp, in.rhWarning, in.overRh})
            fields.push_back(CsvWriter::number(v));
    } else {
        fields.resize(fields.size() + 4, CsvWriter::number(NAN));
    }
    out_ << CsvWriter::row(fields);
    ++rows_;
}

bool TrendExport::close()
{
    out_.flush();
    const bool ok = static_cast<bool>(out_);
    out_.close();
    if (!ok && error_.empty())
        error_ = path_ + ": " + std::strerror(errno);
    return ok && error_.empty();
}
