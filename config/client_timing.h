#pragma once

class InstrumentConfig;

// The client's timing settings in "kov.cfg":
//   KOV-STALE_SECONDS 60        a housing's readings older than this are stale (0: never)
//   KOV-RECONNECT_SECONDS 1,60  first and longest wait between automatic reconnects (0: none)
// An item that is missing or not readable leaves its default.
struct ClientTiming {
    static constexpr const char* staleKey = "KOV-STALE_SECONDS";
    static constexpr const char* reconnectKey = "KOV-RECONNECT_SECONDS";

    int staleSeconds = 60;
    int reconnectFirstSeconds = 1; // 0: no automatic reconnect
    int reconnectLongestSeconds = 60;

    static ClientTiming read(const InstrumentConfig& config);
};
