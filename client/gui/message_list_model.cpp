#include "message_list_model.h"

#include "resources.h"
#include "time_text.h"

#include <cstring>

MessageListModel::MessageListModel(QObject* parent)
    : QAbstractTableModel(parent), commit_([this] { commit(); }, this)
{
    // Loaded once: data() is asked for an icon on every paint of a row.
    for (std::size_t i = 0; i < icons_.size(); ++i)
        icons_[i] = Resources::priorityIcon(static_cast<int>(i));
}

MessageListModel::~MessageListModel() = default;

void MessageListModel::append(const char* text, std::uint32_t priority, std::int64_t arrivalTime)
{
    const std::size_t length = text ? std::strlen(text) : 0;
    const char* kept = keepText(text, length);
    const auto chunk = static_cast<std::size_t>(stored_ / rowsPerChunk);
    if (chunk == rowChunks_.size())
        rowChunks_.push_back(std::make_unique<Row[]>(rowsPerChunk));
    rowChunks_[chunk][stored_ % rowsPerChunk] =
        Row{arrivalTime, kept, static_cast<std::uint32_t>(length), priority};
    ++stored_;
    commit_.request();
}

const char* MessageListModel::keepText(const char* text, std::size_t length)
{
    if (length == 0)
        return nullptr;
    // A long text gets a block of its own rather than wasting the rest of
    // the current one.
    if (length > textBlockSize / 4) {
        textBlocks_.push_back(std::make_unique<char[]>(length));
        std::memcpy(textBlocks_.back().get(), text, length);
        return textBlocks_.back().get();
    }
    if (length > textLeft_) {
        textBlocks_.push_back(std::make_unique<char[]>(textBlockSize));
        textFree_ = textBlocks_.back().get();
        textLeft_ = textBlockSize;
    }
    char* kept = textFree_;
    std::memcpy(kept, text, length);
    textFree_ += length;
    textLeft_ -= length;
    return kept;
}

void MessageListModel::commit()
{
    if (shown_ == stored_)
        return;
    beginInsertRows(QModelIndex(), shown_, stored_ - 1);
    shown_ = stored_;
    endInsertRows();
}

const MessageListModel::Row& MessageListModel::row(int index) const
{
    return rowChunks_[static_cast<std::size_t>(index / rowsPerChunk)][index % rowsPerChunk];
}

int MessageListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : shown_;
}

int MessageListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString MessageListModel::priorityText(std::uint32_t priority)
{
    switch (priority) {
    case 0:
        return tr("Message");
    case 1:
        return tr("Warning");
    case 2:
        return tr("Alarm");
    default:
        return tr("Priority %1").arg(priority);
    }
}

QVariant MessageListModel::priorityData(const Row& row, int role) const
{
    const bool known = row.priority < icons_.size();
    switch (role) {
    case Qt::DecorationRole:
        return known ? QVariant(icons_[row.priority]) : QVariant();
    case Qt::DisplayRole:
        // No icon to show: the number itself.
        return known ? QVariant() : QVariant(QString::number(row.priority));
    case Qt::AccessibleTextRole:
    case Qt::AccessibleDescriptionRole:
        return priorityText(row.priority);
    default:
        return QVariant();
    }
}

QVariant MessageListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const Row& r = row(index.row());
    if (index.column() == PriorityColumn)
        return priorityData(r, role);
    if (role != Qt::DisplayRole)
        return QVariant();
    if (index.column() == TimeColumn)
        return QString::fromStdString(TimeText::utc(r.time));
    return QString::fromUtf8(r.text, static_cast<qsizetype>(r.length));
}

QVariant MessageListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case PriorityColumn:
        return tr("Priority");
    case TimeColumn:
        return tr("Time");
    case MessageColumn:
        return tr("Message");
    default:
        return QVariant();
    }
}

Qt::ItemFlags MessageListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}
