#pragma once

#include <string>

// The read-only attribute of a file on this platform: read-only means all
// write bits cleared; writable again means the owner's write bit set back,
// the other bits as they were.
class FileMode {
public:
    static bool makeReadOnly(const std::string& path);
    static bool makeWritable(const std::string& path);
    static unsigned readOnly(unsigned mode);
};
