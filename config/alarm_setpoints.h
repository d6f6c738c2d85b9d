#pragma once

// The four alarm setpoints of one housing (index 0 the electronics housing,
// 1 the spectrograph housing). No order is imposed between a warning level
// and its over-limit level.
struct AlarmSetpoints {
    double overTemp = 32.0;    // degrees Celsius
    double tempWarning = 24.0; // degrees Celsius
    double overRh = 60.0;      // percent relative humidity
    double rhWarning = 35.0;   // percent relative humidity
};
