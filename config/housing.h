#pragma once

// The instrument's two sealed housings, as every part of the system names
// them. A housing index comes from the instrument (a reading's id) or from a
// stored row; one that is not a housing is refused where it enters.
namespace Housing {

enum Index : int {
    Electronics = 0,
    Spectrometer = 1
};

inline constexpr int count = 2;

inline constexpr bool valid(int index)
{
    return index >= 0 && index < count;
}

// As a person reads it, in windows, descriptions and log lines.
inline constexpr const char* names[count] = {"Electronics housing", "Spectrometer housing"};
// Short and stable, for exports and point names.
inline constexpr const char* keys[count] = {"electronics", "spectrometer"};
// The prefix of its setpoint items in kov.cfg.
inline constexpr const char* configNames[count] = {"KOV-E1", "KOV-S1"};

} // namespace Housing
