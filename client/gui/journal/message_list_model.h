#pragma once

#include "frame_pacer.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QIcon>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// The rows of the alarms and messages list: priority, time, text.
//
// The list only grows, for weeks, and the instrument may flood it, so a row
// is a small fixed record in fixed-size chunks (appending never moves what
// is stored) and its text stays UTF-8 in a chunked arena; the display texts
// are made only when the view asks for them. Appended rows reach the view
// together once a frame, in arrival order: one insertion per row costs the
// view far more than the row itself, and more the longer the list.
class MessageListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column {
        PriorityColumn,
        TimeColumn,
        MessageColumn,
        ColumnCount
    };

    explicit MessageListModel(QObject* parent = nullptr);
    ~MessageListModel() override;

    // Stores a row at the end; the view sees it within a frame.
    // `text` is UTF-8 and may be null (no text); `arrivalTime` counts seconds
    // since 1970 UTC.
    void append(const char* text, std::uint32_t priority, std::int64_t arrivalTime);

    // Rows stored so far, including those the view has not been told of yet.
    int storedRows() const { return stored_; }

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

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The priority as words: "Message", "Warning", "Alarm" or "Priority N".
    static QString priorityText(std::uint32_t priority);

private:
    struct Row {
        std::int64_t time;
        const char* text;
        std::uint32_t length;
        std::uint32_t priority;
    };

    static constexpr int rowsPerChunk = 4096;
    static constexpr std::size_t textBlockSize = 64 * 1024;

    const Row& row(int index) const;
    const Row& viewRow(int index) const;
    const char* keepText(const char* text, std::size_t length);
    void commit();
    bool matches(const Row& row) const;
    QVariant priorityData(const Row& row, int role) const;

    std::vector<std::unique_ptr<Row[]>> rowChunks_;
    std::vector<std::unique_ptr<char[]>> textBlocks_;
    char* textFree_ = nullptr;
    std::size_t textLeft_ = 0;
    int stored_ = 0;
    int shown_ = 0;
    // While a filter is set: the stored rows it lets through, in order.
    bool filtered_ = false;
    int filterPriority_ = -1;
    QByteArray filterText_; // UTF-8, ASCII letters lowered
    QString filterQText_;
    bool filterAscii_ = true; // ASCII case rules are enough
    std::array<QByteArray, 2> filterCases_;
    std::vector<int> matches_;
    FramePacer commit_;
    std::array<QIcon, 3> icons_;
};
