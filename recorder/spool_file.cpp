#include "spool_file.h"

#include "housing.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <memory>
#include <vector>

namespace Recorder {

namespace {

using History::Event;

std::string escaped(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string unescaped(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    return out;
}

std::string number(double value)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

std::string fields(std::initializer_list<std::string> parts)
{
    std::string out;
    for (const std::string& part : parts)
        out += (out.empty() ? "" : "\t") + part;
    return out;
}

std::vector<std::string> split(const std::string& line)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        parts.push_back(line.substr(start, tab - start));
    parts.push_back(line.substr(start));
    return parts;
}

bool integer(const std::string& text, std::int64_t& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtoll(text.c_str(), &end, 10);
    return errno == 0 && *end == '\0';
}

bool integer(const std::string& text, int& value, int least, int most)
{
    std::int64_t wide = 0;
    if (!integer(text, wide) || wide < least || wide > most)
        return false;
    value = static_cast<int>(wide);
    return true;
}

bool real(const std::string& text, double& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return *end == '\0';
}

using Fields = std::vector<std::string>;

bool readReading(const Fields& f, History::Batch& rows)
{
    History::Reading r;
    int water = 0;
    if (f.size() != 8 || !integer(f[1], r.housing, 0, Housing::count - 1) || !integer(f[2], r.arrivalMs) ||
        !integer(f[3], r.readingTime) || !real(f[4], r.temperature) || !real(f[5], r.humidity) ||
        !integer(f[6], water, 0, 1) || !integer(f[7], r.seq, 0, std::numeric_limits<int>::max()))
        return false;
    r.water = water != 0;
    rows.readings.push_back(r);
    return true;
}

bool readEvent(const Fields& f, History::Batch& rows)
{
    const char kind = f[0].size() == 1 ? f[0][0] : '?';
    int a = 0, b = 0;
    if (kind == 'M' && f.size() == 6) {
        History::MessageRecord m;
        if (!integer(f[1], m.arrivalMs) || !integer(f[2], m.priority, 0, 2) ||
            !integer(f[3], m.instrumentTime) || !integer(f[5], m.seq, 0, std::numeric_limits<int>::max()))
            return false;
        m.text = unescaped(f[4]);
        rows.events.emplace_back(std::move(m));
        return true;
    }
    if (kind == 'L' && f.size() == 5) {
        History::LinkChange l;
        if (!integer(f[1], l.timeMs) || !integer(f[2], a, 0, 2) ||
            !integer(f[4], l.seq, 0, std::numeric_limits<int>::max()))
            return false;
        l.kind = static_cast<History::LinkEvent>(a);
        l.reason = unescaped(f[3]);
        rows.events.emplace_back(std::move(l));
        return true;
    }
    // A spool of an older recorder has no seq.
    if (kind == 'S' && (f.size() == 6 || f.size() == 7)) {
        History::SetpointChange s;
        if (!integer(f[1], s.housing, 0, Housing::count - 1) || !integer(f[2], b, 0, 3) ||
            !real(f[3], s.oldValue) || !real(f[4], s.newValue) || !integer(f[5], s.timeMs) ||
            (f.size() == 7 && !integer(f[6], s.seq, 0, std::numeric_limits<int>::max())))
            return false;
        s.which = static_cast<History::Setpoint>(b);
        rows.events.emplace_back(s);
        return true;
    }
    if (kind == 'A' && f.size() == 10) {
        History::AlarmRecord r;
        if (!integer(f[1], r.timeMs) || !integer(f[2], a, 0, 5) || !integer(f[7], r.untilMs) ||
            !real(f[8], r.value) || !real(f[9], r.setpoint))
            return false;
        r.action = static_cast<History::AlarmAction>(a);
        r.point = unescaped(f[3]);
        r.user = unescaped(f[4]);
        r.pointKey = unescaped(f[5]);
        r.comment = unescaped(f[6]);
        rows.events.emplace_back(std::move(r));
        return true;
    }
    return false;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File openForWriting(const std::string& path, int flags)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | flags, 0600);
    if (fd < 0)
        return nullptr;
    File file(::fdopen(fd, (flags & O_APPEND) ? "a" : "w"));
    if (!file)
        ::close(fd);
    return file;
}

bool writeRows(std::FILE* file, const History::Batch& rows)
{
    for (const History::Reading& reading : rows.readings)
        std::fprintf(file, "%s\n", SpoolFile::line(reading).c_str());
    for (const Event& event : rows.events)
        std::fprintf(file, "%s\n", SpoolFile::line(event).c_str());
    return std::fflush(file) == 0 && ::fsync(::fileno(file)) == 0 && !std::ferror(file);
}

} // namespace

std::string SpoolFile::line(const History::Reading& r)
{
    return fields({"R", std::to_string(r.housing), std::to_string(r.arrivalMs), std::to_string(r.readingTime),
        number(r.temperature), number(r.humidity), r.water ? "1" : "0", std::to_string(r.seq)});
}

std::string SpoolFile::line(const Event& event)
{
    if (const auto* m = std::get_if<History::MessageRecord>(&event))
        return fields({"M", std::to_string(m->arrivalMs), std::to_string(m->priority),
            std::to_string(m->instrumentTime), escaped(m->text), std::to_string(m->seq)});
    if (const auto* l = std::get_if<History::LinkChange>(&event))
        return fields({"L", std::to_string(l->timeMs), std::to_string(static_cast<int>(l->kind)),
            escaped(l->reason), std::to_string(l->seq)});
    if (const auto* s = std::get_if<History::SetpointChange>(&event))
        return fields({"S", std::to_string(s->housing), std::to_string(static_cast<int>(s->which)),
            number(s->oldValue), number(s->newValue), std::to_string(s->timeMs), std::to_string(s->seq)});
    const auto& a = std::get<History::AlarmRecord>(event);
    return fields({"A", std::to_string(a.timeMs), std::to_string(static_cast<int>(a.action)),
        escaped(a.point), escaped(a.user), escaped(a.pointKey), escaped(a.comment), std::to_string(a.untilMs),
        number(a.value), number(a.setpoint)});
}

bool SpoolFile::read(const std::string& line, History::Batch& rows)
{
    const Fields f = split(line);
    return f[0] == "R" ? readReading(f, rows) : readEvent(f, rows);
}

bool SpoolFile::save(const std::string& path, const History::Batch& rows, std::string& error)
{
    const std::string temporary = path + ".new";
    File file = openForWriting(temporary, O_TRUNC);
    bool ok = file && std::fprintf(file.get(), "%s\n", header) > 0 && writeRows(file.get(), rows);
    file.reset();
    if (ok && ::rename(temporary.c_str(), path.c_str()) == 0)
        return true;
    error = "cannot write " + path + ": " + std::strerror(errno);
    ::unlink(temporary.c_str());
    return false;
}

bool SpoolFile::append(
    const std::string& path, const std::string& comment, const History::Batch& rows, std::string& error)
{
    File file = openForWriting(path, O_APPEND);
    if (file && std::fprintf(file.get(), "# %s\n", escaped(comment).c_str()) > 0 &&
        writeRows(file.get(), rows))
        return true;
    error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
}

bool SpoolFile::load(const std::string& path, Loaded& loaded, std::string& error)
{
    loaded = Loaded();
    if (::access(path.c_str(), F_OK) != 0 && errno == ENOENT)
        return true;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    loaded.found = true;
    std::string text;
    while (std::getline(in, text)) {
        if (text.empty() || text[0] == '#')
            continue;
        if (!read(text, loaded.rows))
            ++loaded.unreadable;
    }
    if (in.bad()) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace Recorder
