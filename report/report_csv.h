#pragma once

#include "report_figures.h"

#include <string>

namespace Report {

// The figures of page 1 as one CSV table (RFC 4180, UTF-8, CR LF): one row
// per figure with the columns section, figure, subject, value, unit,
// target and verdict. Times are UTC ("2026-12-08 18:00:00"), lengths in
// seconds, shares in percent; an empty value is not known.
std::string csv(const Figures& figures);

} // namespace Report
