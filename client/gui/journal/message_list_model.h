#pragma once

#include "frame_pacer.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QIcon>

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

// The rows of the alarms and messages list: priority, time, text.
//
// The list runs for weeks and the instrument may flood it, with texts of
// megabytes too, so it keeps the newest messages within a bound of rows and
// one of text bytes; older ones are taken off the top, a sixteenth of the
// bound at a time (the history has them). A row is a small fixed record in
// a deque (appending never moves what is stored) and its text stays UTF-8
// in blocks shared with the rows next to it, freed once no kept row uses
// them. The display texts are made only when the view asks for them, cut to
// displayChars. Appended and removed rows reach the view together once a
// frame, in arrival order: one insertion per row costs the view far more
// than the row itself, and more the longer the list.
class MessageListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    struct Bounds {
        int rows;
        std::size_t textBytes;
    };
    static constexpr Bounds defaultBounds{1'000'000, 64 * 1024 * 1024};
    // Of a text, what the list shows (a row is one line; Export… and
    // History… have the whole text).
    static constexpr int displayChars = 1000;

    enum Column {
        PriorityColumn,
        TimeColumn,
        MessageColumn,
        ColumnCount
    };

    explicit MessageListModel(QObject* parent = nullptr, Bounds bounds = defaultBounds);
    ~MessageListModel() override;

    // Stores a row at the end; the view sees it within a frame. Past a
    // bound the oldest rows go (the newest always stays).
    // `text` is UTF-8 and may be null (no text); `arrivalTime` counts seconds
    // since 1970 UTC.
    void append(const char* text, std::uint32_t priority, std::int64_t arrivalTime);

    // Rows kept, including those the view has not been told of yet.
    int storedRows() const { return static_cast<int>(rows_.size() - evicted_); }
    // Text bytes of the rows kept.
    std::size_t textBytes() const { return textBytes_; }
    // Rows taken off the top so far to stay within the bounds.
    std::int64_t trimmedRows() const { return trimmed_ + static_cast<std::int64_t>(evicted_); }

    // Shows only the rows of one priority (-1: every priority) whose text
    // holds `text` (ignoring case; empty: every text). The stored rows stay
    // as they are, in arrival order.
    void setFilter(int priority, const QString& text);
    bool filtered() const { return filtered_; }

    // A shown row as stored, for exporting the list as shown.
    struct RowView {
        std::int64_t time;
        std::uint32_t priority;
        const char* text;
        std::uint32_t length;
    };
    RowView shownRow(int row) const;
    // Every shown row, with the blocks their texts are in: they stay valid
    // while the snapshot lives, whatever the list takes off meanwhile.
    struct Snapshot {
        std::vector<RowView> rows;
        std::vector<std::shared_ptr<const char[]>> texts;
    };
    Snapshot shownRows() const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The priority as words: "Message", "Warning", "Alarm" or "Priority N".
    static QString priorityText(std::uint32_t priority);
    // At most displayChars characters of a UTF-8 text, "…" after a cut one.
    static QString displayText(const char* text, std::size_t length);

signals:
    // Rows were taken off the top (at most once a frame); how many so far.
    void trimmed(qint64 total);

private:
    struct Row {
        std::int64_t time;
        const char* text;
        std::uint32_t length;
        std::uint32_t priority;
    };

    // Text of one or more rows; `lastRow` is the newest of them (counted
    // from the first row ever appended).
    struct TextBlock {
        std::shared_ptr<char[]> data;
        std::int64_t lastRow;
    };

    static constexpr std::size_t textBlockSize = 64 * 1024;

    const Row& row(std::int64_t index) const;
    const Row& viewRow(int index) const;
    const char* keepText(const char* text, std::size_t length, std::int64_t index);
    void trimToBounds();
    void dropTrimmed();
    void commit();
    bool matches(const Row& row) const;
    QVariant priorityData(const Row& row, int role) const;

    const Bounds bounds_;
    // The rows kept, the first `evicted_` of them already taken off but
    // still shown until the next frame tells the view.
    std::deque<Row> rows_;
    std::int64_t first_ = 0; // the number of rows_.front()
    std::size_t evicted_ = 0;
    std::size_t evictedBytes_ = 0;
    std::size_t textBytes_ = 0;
    std::int64_t trimmed_ = 0;
    // In the order in which their rows go; the one being filled is the last.
    std::deque<TextBlock> textBlocks_;
    char* textFree_ = nullptr;
    std::size_t textLeft_ = 0;
    int shown_ = 0;
    // While a filter is set: the numbers of the rows it lets through, in order.
    bool filtered_ = false;
    int filterPriority_ = -1;
    QByteArray filterText_; // UTF-8, ASCII letters lowered
    QString filterQText_;
    bool filterAscii_ = true; // ASCII case rules are enough
    std::array<QByteArray, 2> filterCases_;
    std::deque<std::int64_t> matches_;
    FramePacer commit_;
    std::array<QIcon, 3> icons_;
};
