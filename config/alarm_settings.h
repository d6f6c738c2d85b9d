#pragma once

class InstrumentConfig;

// How the alarm engine judges readings, from "kov.cfg":
//   KOV-ALARM_DEADBAND 0.5,2.0     a raised temperature (°C) or humidity (%RH)
//                                  alarm clears only that far below its
//                                  setpoint; warnings alike (0,0: none)
//   KOV-ALARM_DELAY_SECONDS 0      how long a temperature or humidity value
//                                  must stay in alarm before it is raised
//   KOV-STALE_SECONDS 60           (read with the client's timing) readings
//                                  older than this are stale, and readings
//                                  without data for longer are a sensor fault
// An item that is missing or not readable leaves its default. Only read,
// never written back.
struct AlarmSettings {
    static constexpr const char* deadbandKey = "KOV-ALARM_DEADBAND";
    static constexpr const char* delayKey = "KOV-ALARM_DELAY_SECONDS";
    static constexpr double defaultDeadbandCelsius = 0.5;
    static constexpr double defaultDeadbandPercent = 2.0;

    double deadbandCelsius = defaultDeadbandCelsius;
    double deadbandPercent = defaultDeadbandPercent;
    int delaySeconds = 0;
    int staleSeconds = 60; // 0: never stale, and no sensor fault either

    static AlarmSettings read(const InstrumentConfig& config);
};
