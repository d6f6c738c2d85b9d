#include "message_list_model.h"

#include "resources.h"
#include "time_text.h"

#include <algorithm>
#include <cstring>
#include <string_view>

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
    if (filtered_ && matches(row(stored_ - 1)))
        matches_.push_back(stored_ - 1);
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
    const int target = filtered_ ? static_cast<int>(matches_.size()) : stored_;
    if (shown_ == target)
        return;
    beginInsertRows(QModelIndex(), shown_, target - 1);
    shown_ = target;
    endInsertRows();
}

namespace {

char lowered(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// `needle` (ASCII letters lowered) in `text`, ASCII letters compared without
// case and every other byte as it is: UTF-8 sequences match only themselves.
// Candidates for the first byte are found with memchr, which is many times
// faster than looking at each byte.
bool containsAscii(const char* text, std::size_t length, const QByteArray& needle)
{
    const std::size_t n = static_cast<std::size_t>(needle.size());
    if (!text || n > length)
        return false;
    const char lower = needle[0];
    const char upper = lower >= 'a' && lower <= 'z' ? static_cast<char>(lower - 'a' + 'A') : lower;
    const char* at = text;
    const char* last = text + (length - n) + 1; // one past the last possible start
    while (at < last) {
        const auto left = static_cast<std::size_t>(last - at);
        const char* a = static_cast<const char*>(std::memchr(at, lower, left));
        const char* b = upper == lower ? nullptr : static_cast<const char*>(std::memchr(at, upper, left));
        const char* candidate = a && b ? std::min(a, b) : a ? a : b;
        if (!candidate)
            return false;
        std::size_t k = 1;
        while (k < n && lowered(candidate[k]) == needle[static_cast<qsizetype>(k)])
            ++k;
        if (k == n)
            return true;
        at = candidate + 1;
    }
    return false;
}

bool anyBeyondAscii(const char* text, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i)
        if (static_cast<unsigned char>(text[i]) >= 0x80)
            return true;
    return false;
}

// Whether the search needs Unicode's case rules: only for a letter beyond
// ASCII that has another case ("ω" finds "Ω"); "°" matches itself.
bool needsUnicodeCase(const QString& text)
{
    return std::any_of(text.begin(), text.end(),
        [](QChar c) { return c.unicode() >= 0x80 && (c.toLower() != c || c.toUpper() != c); });
}

// The first letter of `text` that needs Unicode's case rules, in its lower
// and upper case as UTF-8.
std::array<QByteArray, 2> firstUnicodeCases(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() >= 0x80 && (c.toLower() != c || c.toUpper() != c))
            return {QString(c.toLower()).toUtf8(), QString(c.toUpper()).toUtf8()};
    return {};
}

} // namespace

bool MessageListModel::matches(const Row& r) const
{
    if (filterPriority_ >= 0 && r.priority != static_cast<std::uint32_t>(filterPriority_))
        return false;
    if (filterText_.isEmpty())
        return true;
    if (filterAscii_)
        return containsAscii(r.text, r.length, filterText_);
    // Letters beyond ASCII need Unicode's case rules: the slow way, only
    // then, and only for texts that hold one of the first such letter's
    // cases at all.
    if (!r.text || !anyBeyondAscii(r.text, r.length))
        return false;
    const std::string_view text(r.text, r.length);
    if (text.find(filterCases_[0].constData()) == std::string_view::npos &&
        text.find(filterCases_[1].constData()) == std::string_view::npos)
        return false;
    return QString::fromUtf8(r.text, static_cast<qsizetype>(r.length))
        .contains(filterQText_, Qt::CaseInsensitive);
}

void MessageListModel::setFilter(int priority, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    QByteArray lower(utf8);
    const bool ascii = !needsUnicodeCase(text);
    for (char& c : lower)
        c = lowered(c);
    // Typing on narrows what is shown already: only those rows are searched.
    const bool narrowing =
        filtered_ && priority == filterPriority_ && lower.contains(filterText_) && ascii == filterAscii_;
    std::vector<int> from;
    if (narrowing)
        from.swap(matches_);
    beginResetModel();
    filterPriority_ = priority;
    filterText_ = lower;
    filterQText_ = text;
    filterAscii_ = ascii;
    filterCases_ = firstUnicodeCases(text);
    filtered_ = priority >= 0 || !text.isEmpty();
    matches_.clear();
    if (narrowing) {
        for (int i : from)
            if (matches(row(i)))
                matches_.push_back(i);
    } else if (filtered_) {
        for (int i = 0; i < stored_; ++i)
            if (matches(row(i)))
                matches_.push_back(i);
    }
    shown_ = filtered_ ? static_cast<int>(matches_.size()) : stored_;
    endResetModel();
}

const MessageListModel::Row& MessageListModel::viewRow(int index) const
{
    return row(filtered_ ? matches_[static_cast<std::size_t>(index)] : index);
}

MessageListModel::RowView MessageListModel::shownRow(int index) const
{
    const Row& r = viewRow(index);
    return RowView{r.time, r.priority, r.text, r.length};
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
    const Row& r = viewRow(index.row());
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
