#include "notify_settings.h"

#include <algorithm>
#include <cctype>

namespace {

bool plainAddress(const std::string& address)
{
    if (address.empty() || address.size() > 254)
        return false;
    const auto bad = [](unsigned char c) {
        return std::isspace(c) || std::iscntrl(c) || c == ',' || c == '<' || c == '>' || c == '"';
    };
    if (std::any_of(address.begin(), address.end(), bad))
        return false;
    const std::size_t at = address.find('@');
    return at != std::string::npos && at > 0 && at + 1 < address.size() &&
        address.find('@', at + 1) == std::string::npos;
}

} // namespace

std::optional<std::vector<std::string>> NotifySettings::addresses(const std::string& list, std::string& error)
{
    std::vector<std::string> found;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        std::string address = list.substr(start, comma - start);
        const auto first = address.find_first_not_of(' ');
        address = first == std::string::npos ? std::string() : address.substr(first);
        address.erase(address.find_last_not_of(' ') + 1);
        if (!plainAddress(address)) {
            error = "not a mail address: \"" + address + "\"";
            return std::nullopt;
        }
        found.push_back(address);
        start = comma + 1;
    }
    return found;
}

std::optional<int> NotifySettings::seconds(const std::string& text, std::string& error)
{
    const bool digits = !text.empty() && text.size() <= 6 &&
        std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
    const int value = digits ? std::stoi(text) : -1;
    if (value < 0 || value > 7 * 24 * 3600) {
        error = "not a number of seconds from 0 to a week: \"" + text + "\"";
        return std::nullopt;
    }
    return value;
}

bool NotifySettings::validWebhook(const std::string& url)
{
    const bool scheme = url.rfind("http://", 0) == 0 || url.rfind("https://", 0) == 0;
    return scheme && url.size() > 8 && std::none_of(url.begin(), url.end(), [](unsigned char c) {
        return std::isspace(c) || std::iscntrl(c);
    });
}
