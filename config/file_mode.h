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

    // For files that hold messages and user names. openPrivate opens `path`
    // with the open(2) `flags`, creating it readable and writable by its
    // owner only; either takes the group's and others' access from a file
    // that has it. openPrivate answers the descriptor (-1 and errno on
    // failure), makePrivate false when the file is not there.
    static int openPrivate(const std::string& path, int flags);
    static bool makePrivate(const std::string& path);
};
