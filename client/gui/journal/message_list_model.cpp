#include "message_list_model.h"

#include "resources.h"
#include "time_text.h"

#include <algorithm>
#include <cstring>
#include <string_view>

MessageListModel::MessageListModel(QObject* parent, Bounds bounds)
    : QAbstractTableModel(parent), bounds_(bounds), commit_([this] { commit(); }, this)
{
    // Loaded once: data() is asked for an icon on every paint of a row.
    for (std::size_t i = 0; i < icons_.size(); ++i)
        icons_[i] = Resources::priorityIcon(static_cast<int>(i));
}

MessageListModel::~MessageListModel() = default;

void MessageListModel::append(const char* text, std::uint32_t priority, std::int64_t arrivalTime)
{
    const std::size_t length = text ? std::strlen(text) : 0;
    const std::int64_t index = first_ + static_cast<std::int64_t>(rows_.size());
    const char* kept = keepText(text, length, index);
    rows_.push_back(Row{arrivalTime, kept, static_cast<std::uint32_t>(length), priority});
    textBytes_ += length;
    if (filtered_ && matches(rows_.back()))
        matches_.push_back(index);
    trimToBounds();
    // Texts taken off wait for the frame to be freed; a flood of long ones
    // must not pile up meanwhile.
    if (evictedBytes_ > bounds_.textBytes / 4)
        commit();
    else
        commit_.request();
}

const char* MessageListModel::keepText(const char* text, std::size_t length, std::int64_t index)
{
    if (length == 0)
        return nullptr;
    // A long text gets a block of its own rather than wasting the rest of
    // the current one. It goes before the block being filled, so that the
    // blocks stay in the order in which their rows go.
    if (length > textBlockSize / 4) {
        std::shared_ptr<char[]> own(new char[length]);
        std::memcpy(own.get(), text, length);
        const auto at = textFree_ ? textBlocks_.end() - 1 : textBlocks_.end();
        return textBlocks_.insert(at, TextBlock{std::move(own), index})->data.get();
    }
    if (length > textLeft_) {
        textBlocks_.push_back(TextBlock{std::shared_ptr<char[]>(new char[textBlockSize]), index});
        textFree_ = textBlocks_.back().data.get();
        textLeft_ = textBlockSize;
    }
    char* kept = textFree_;
    std::memcpy(kept, text, length);
    textFree_ += length;
    textLeft_ -= length;
    textBlocks_.back().lastRow = index;
    return kept;
}

void MessageListModel::trimToBounds()
{
    if (storedRows() <= bounds_.rows && textBytes_ <= bounds_.textBytes)
        return;
    // A sixteenth more than needed: the view then lets go of rows once in a
    // while rather than at every frame of a flood.
    const int rows = bounds_.rows - bounds_.rows / 16;
    const std::size_t bytes = bounds_.textBytes - bounds_.textBytes / 16;
    while (storedRows() > 1 && (storedRows() > rows || textBytes_ > bytes)) {
        const Row& oldest = rows_[evicted_++];
        textBytes_ -= oldest.length;
        evictedBytes_ += oldest.length;
    }
}

// Tells the view of the rows taken off the top and lets go of them and of
// the text blocks only they used.
void MessageListModel::dropTrimmed()
{
    if (evicted_ == 0)
        return;
    const std::int64_t newFirst = first_ + static_cast<std::int64_t>(evicted_);
    std::size_t goneMatches = 0;
    while (goneMatches < matches_.size() && matches_[goneMatches] < newFirst)
        ++goneMatches;
    const std::size_t gone = filtered_ ? goneMatches : evicted_;
    const int removed = static_cast<int>(std::min<std::size_t>(gone, static_cast<std::size_t>(shown_)));
    if (removed > 0)
        beginRemoveRows(QModelIndex(), 0, removed - 1);
    rows_.erase(rows_.begin(), rows_.begin() + static_cast<std::ptrdiff_t>(evicted_));
    matches_.erase(matches_.begin(), matches_.begin() + static_cast<std::ptrdiff_t>(goneMatches));
    first_ = newFirst;
    trimmed_ += static_cast<std::int64_t>(evicted_);
    evicted_ = 0;
    evictedBytes_ = 0;
    shown_ -= removed;
    while (!textBlocks_.empty() && textBlocks_.front().lastRow < first_) {
        if (textBlocks_.size() == 1 && textFree_) {
            textFree_ = nullptr;
            textLeft_ = 0;
        }
        textBlocks_.pop_front();
    }
    if (removed > 0)
        endRemoveRows();
    emit trimmed(trimmed_);
}

void MessageListModel::commit()
{
    dropTrimmed();
    const int target = filtered_ ? static_cast<int>(matches_.size()) : static_cast<int>(rows_.size());
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
    dropTrimmed();
    const QByteArray utf8 = text.toUtf8();
    QByteArray lower(utf8);
    const bool ascii = !needsUnicodeCase(text);
    for (char& c : lower)
        c = lowered(c);
    // Typing on narrows what is shown already: only those rows are searched.
    const bool narrowing =
        filtered_ && priority == filterPriority_ && lower.contains(filterText_) && ascii == filterAscii_;
    std::deque<std::int64_t> from;
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
        for (std::int64_t i : from)
            if (matches(row(i)))
                matches_.push_back(i);
    } else if (filtered_) {
        const std::int64_t end = first_ + static_cast<std::int64_t>(rows_.size());
        for (std::int64_t i = first_; i < end; ++i)
            if (matches(row(i)))
                matches_.push_back(i);
    }
    shown_ = filtered_ ? static_cast<int>(matches_.size()) : static_cast<int>(rows_.size());
    endResetModel();
}

const MessageListModel::Row& MessageListModel::viewRow(int index) const
{
    return filtered_ ? row(matches_[static_cast<std::size_t>(index)])
                     : rows_[static_cast<std::size_t>(index)];
}

MessageListModel::RowView MessageListModel::shownRow(int index) const
{
    const Row& r = viewRow(index);
    return RowView{r.time, r.priority, r.text, r.length};
}

MessageListModel::Snapshot MessageListModel::shownRows() const
{
    Snapshot snapshot;
    snapshot.rows.reserve(static_cast<std::size_t>(shown_));
    for (int i = 0; i < shown_; ++i)
        snapshot.rows.push_back(shownRow(i));
    for (const TextBlock& block : textBlocks_)
        snapshot.texts.push_back(block.data);
    return snapshot;
}

const MessageListModel::Row& MessageListModel::row(std::int64_t index) const
{
    return rows_[static_cast<std::size_t>(index - first_)];
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
    return displayText(r.text, r.length);
}

QString MessageListModel::displayText(const char* text, std::size_t length)
{
    // Enough bytes for displayChars characters of up to four bytes each;
    // the UTF-8 sequence cut at the end, if any, lies beyond them.
    constexpr std::size_t enough = 4 * displayChars;
    QString shown = QString::fromUtf8(text, static_cast<qsizetype>(std::min(length, enough)));
    if (length <= enough && shown.size() <= displayChars)
        return shown;
    qsizetype keep = displayChars;
    if (shown.at(keep - 1).isHighSurrogate())
        --keep;
    shown.truncate(keep);
    return shown + QChar(0x2026);
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
