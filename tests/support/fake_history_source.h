#pragma once

#include "history_source.h"

#include <cstdint>
#include <vector>

// A history made up on demand: one reading a second per housing over
// [firstMs, endMs), a smooth daily swing of temperature and humidity, no
// memory held per reading; rollups computed from the same formula, and
// buckets summarised from the rollups as the stores' SQL does. Changes
// and messages are the lists the test or benchmark fills in.
class FakeHistorySource : public History::HistorySource {
public:
    FakeHistorySource(std::int64_t firstMs, std::int64_t endMs) : firstMs_(firstMs), endMs_(endMs) {}

    // The value a generated reading has at `timeMs`.
    static double temperatureAt(int housing, std::int64_t timeMs);
    static double humidityAt(int housing, std::int64_t timeMs);

    std::vector<History::Reading> readings(int housing, std::int64_t fromMs, std::int64_t toMs) override;
    std::vector<History::MinuteRollup> rollups(int housing, std::int64_t fromMs, std::int64_t toMs) override;
    std::vector<History::RollupBucket> buckets(
        int housing, std::int64_t fromMs, std::int64_t toMs, std::int64_t bucketMs) override;
    std::vector<History::SetpointsInForce> setpoints(
        int housing, std::int64_t fromMs, std::int64_t toMs) override;
    std::vector<History::MessageRecord> messages(std::int64_t fromMs, std::int64_t toMs) override;
    std::vector<History::SetpointChange> setpointChanges(std::int64_t fromMs, std::int64_t toMs) override;
    std::vector<History::LinkChange> linkChanges(std::int64_t fromMs, std::int64_t toMs) override;
    std::vector<History::AlarmRecord> alarmRecords(std::int64_t fromMs, std::int64_t toMs) override;
    // The shift report's reads, computed here from the same readings and
    // lists (fake_report_reads.cpp); exact whether per minute or not.
    History::ReadingSummary readingSummary(int housing, std::int64_t fromMs, std::int64_t toMs,
        const History::SetpointsInForce& limits, bool perMinute) override;
    std::vector<History::ReadingGap> readingGaps(int housing, std::int64_t fromMs, std::int64_t toMs,
        std::int64_t longerThanMs, bool perMinute) override;
    std::int64_t usualIntervalMs(
        int housing, std::int64_t fromMs, std::int64_t toMs, bool perMinute) override;
    std::vector<History::MinuteRollup> readingBuckets(
        int housing, std::int64_t fromMs, std::int64_t toMs, std::int64_t bucketMs) override;
    std::vector<History::LinkOutage> linkOutages(std::int64_t fromMs, std::int64_t toMs) override;
    History::AlarmLoad alarmLoad(std::int64_t fromMs, std::int64_t toMs, std::int64_t windowMs,
        int floodAbove, int busyHourAbove) override;
    History::AlarmHandling alarmHandling(
        std::int64_t fromMs, std::int64_t toMs, std::int64_t longestShelfMs) override;

    std::vector<History::MessageRecord> messagesAtLeast(
        int priority, std::int64_t fromMs, std::int64_t toMs, int limit) override;
    std::string description() const override { return "made-up history"; }
    std::string lastError() const override { return {}; }

    // Raw readings are kept from here on; the rollups reach back to firstMs.
    std::int64_t rawFirstMs = 0;
    std::vector<History::SetpointsInForce> sets[2];
    std::vector<History::MessageRecord> messageList;
    std::vector<History::SetpointChange> changeList;
    std::vector<History::LinkChange> linkList;
    std::vector<History::AlarmRecord> alarmList;
    // When not empty, the readings (in arrival order) instead of the daily
    // swing.
    std::vector<History::Reading> readingList;

private:
    std::int64_t firstMs_;
    std::int64_t endMs_;
};
