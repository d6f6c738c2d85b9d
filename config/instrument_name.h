#pragma once

#include <string>
#include <vector>

class InstrumentConfig;

// The instrument's name in the shared archive, where many instruments keep
// their rows side by side: every row, alarm command and mail names it. The
// recorder takes it from --instrument, the client from the item
// "KOV-INSTRUMENT NAME"; both default to the subscription's criteria.
struct InstrumentName {
    static constexpr const char* itemName = "KOV-INSTRUMENT";
    static constexpr const char* fallback = "KOV";

    // 1 to 64 letters, digits, '.', '_' or '-': safe in SQL, commands and mail.
    static bool valid(const std::string& name);
    // What valid() wants, for error messages.
    static constexpr const char* rule = "1 to 64 letters, digits, '.', '_' or '-'";

    // The criteria, the first command-line word when it is not an option,
    // else "KOV".
    static std::string fromWords(const std::vector<std::string>& words);

    // The item's name, else `defaultName`. An item without a valid name, or
    // an invalid default, is told in `problem` and "KOV" or the default used.
    static std::string load(
        const InstrumentConfig& config, const std::string& defaultName, std::string* problem = nullptr);
};
