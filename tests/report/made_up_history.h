#pragma once

#include "history_batch.h"

#include <cstdint>
#include <string>

class FakeHistorySource;

// One made-up day, 2026-12-08 UTC, whose report figures are known (see
// test_report_figures.cpp for each answer and why):
// - the electronics housing sends a reading every 10 s, in warning from
//   06:00:30 for an hour, over its limit 12:00-12:10, humid 18:00-18:30, its
//   water sensor in alarm for three readings at 15:00, one reading without a
//   temperature and one with -1.0 humidity, nothing 09:00-09:05; its warning
//   level is lowered to 19 °C at 20:00;
// - the spectrometer housing sends until noon only (and not 09:00-09:05);
// - the link is lost 09:00-09:05 and from 23:30 on; the client is ended at
//   22:00 and started again at 22:10 (no outage of the link);
// - 16 alarms: a flood and a chattering link, chattering water, a standing
//   alarm from the day before, shelves, one left unacknowledged.
namespace MadeUpHistory {

inline constexpr std::int64_t dayStartMs = 1796688000000; // 2026-12-08 00:00:00 UTC
inline constexpr std::int64_t dayMs = 86'400'000;

History::Batch day();
// The same records in a made-up source's lists.
void fill(FakeHistorySource& source, const History::Batch& batch);
// The day in a new history file, written as the client's writer does;
// false with `error` set when it could not be.
bool writeFile(const std::string& path, std::string& error);

} // namespace MadeUpHistory
