#pragma once

#include "history_source.h"
#include "trend_series.h"

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

// The trends of a range as CSV (RFC 4180, UTF-8): per reading its UTC time
// (ISO 8601), housing, temperature, humidity, water sensor and the four
// setpoints in force at that time. No data is an empty field.
class TrendExport {
public:
    explicit TrendExport(const std::string& path);

    // The header row; false when the file cannot be written.
    bool open();
    // One reading of `housing`, with the sets of that housing in time order
    // (as LimitSteps::sets gives them).
    void write(int housing, const TrendSample& sample, const std::vector<History::SetpointsInForce>& sets);
    // Flushes and closes; false when anything could not be written.
    bool close();

    const std::string& error() const { return error_; }
    std::int64_t rows() const { return rows_; }

private:
    std::string path_;
    std::ofstream out_;
    std::string error_;
    std::int64_t rows_ = 0;
};
