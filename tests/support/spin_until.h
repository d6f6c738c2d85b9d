#ifndef KOV_TESTS_SPIN_UNTIL_H
#define KOV_TESTS_SPIN_UNTIL_H

#include <chrono>
#include <functional>

// Runs the calling thread's Qt event loop until `done` is true or `limit`
// passes; answers `done ()`.
bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(10));

#endif
