#include "notification_text.h"

#include <cstdio>
#include <ctime>

namespace NotificationText {

namespace {

std::tm utcTime(std::int64_t utcMs)
{
    const std::time_t seconds = static_cast<std::time_t>(utcMs / 1000);
    std::tm tm{};
    gmtime_r(&seconds, &tm);
    return tm;
}

std::string base64(const std::string& bytes)
{
    static const char* const digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const unsigned a = static_cast<unsigned char>(bytes[i]);
        const unsigned b = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0;
        const unsigned c = i + 2 < bytes.size() ? static_cast<unsigned char>(bytes[i + 2]) : 0;
        const unsigned n = (a << 16) | (b << 8) | c;
        out += digits[(n >> 18) & 63];
        out += digits[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? digits[(n >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? digits[n & 63] : '=';
    }
    return out;
}

// A header's text: as it is when it is printable ASCII, else RFC 2047
// encoded words; never a line end, which would start a header of its own.
std::string headerText(const std::string& text)
{
    bool plain = true;
    for (unsigned char c : text)
        plain = plain && c >= 0x20 && c < 0x7f;
    if (plain)
        return text;
    std::string clean;
    for (char c : text)
        clean += (c == '\r' || c == '\n') ? ' ' : c;
    // Encoded words of at most 45 bytes each, cut between UTF-8 characters.
    std::string out;
    std::size_t start = 0;
    while (start < clean.size()) {
        std::size_t end = std::min(clean.size(), start + 45);
        while (end < clean.size() && (static_cast<unsigned char>(clean[end]) & 0xc0) == 0x80)
            --end;
        out += (out.empty() ? "" : "\n ") + std::string("=?UTF-8?B?") +
            base64(clean.substr(start, end - start)) + "?=";
        start = end;
    }
    return out;
}

} // namespace

std::string utc(std::int64_t utcMs)
{
    const std::tm tm = utcTime(utcMs);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &tm);
    return text;
}

std::string duration(std::int64_t ms)
{
    const std::int64_t s = std::max<std::int64_t>(0, ms / 1000);
    if (s < 60)
        return std::to_string(s) + " s";
    if (s < 3600)
        return std::to_string(s / 60) + " min " + std::to_string(s % 60) + " s";
    return std::to_string(s / 3600) + " h " + std::to_string(s % 3600 / 60) + " min";
}

std::string json(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

Mail compose(const std::string& instrument, const std::vector<Notification>& notifications)
{
    if (notifications.size() == 1)
        return {notifications.front().subject, notifications.front().text};
    int alarms = 0;
    std::string names, body;
    for (const Notification& n : notifications) {
        alarms += n.stage != Notification::Stage::AllClear;
        names += (names.empty() ? "" : "; ") + n.summary;
        body += (body.empty() ? "" : "\n----\n\n") + n.text;
    }
    const std::string count = std::to_string(alarms) + (alarms == 1 ? " new alarm" : " new alarms");
    return {"KOV " + instrument + ": " + count + ": " + names,
        count + " (and what else came meanwhile) since the last mail:\n\n" + body};
}

std::string webhookBody(const std::string& instrument, const std::vector<Notification>& notifications)
{
    if (notifications.size() == 1)
        return notifications.front().json;
    std::string items;
    for (const Notification& n : notifications)
        items += (items.empty() ? "" : ",") + n.json;
    return "{\"instrument\":" + json(instrument) +
        ",\"summary\":" + json(compose(instrument, notifications).subject) + ",\"notifications\":[" + items +
        "]}";
}

std::string message(const std::string& to, const Mail& mail, std::int64_t nowUtcMs)
{
    const std::tm tm = utcTime(nowUtcMs);
    char date[64];
    std::strftime(date, sizeof date, "%a, %d %b %Y %H:%M:%S +0000", &tm);
    std::string out = "To: " + to + "\nSubject: " + headerText(mail.subject) + "\nDate: " + date +
        "\nMIME-Version: 1.0\nContent-Type: text/plain; charset=UTF-8\nContent-Transfer-Encoding: 8bit\n"
        "Auto-Submitted: auto-generated\n\n" +
        mail.body;
    if (out.back() != '\n')
        out += '\n';
    return out;
}

} // namespace NotificationText
