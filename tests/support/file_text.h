#pragma once

#include <string>

// Whole-file helpers for the tests.
class FileText {
public:
    static void write(const std::string& path, const std::string& text);
    static std::string read(const std::string& path);
    static bool exists(const std::string& path);
    static unsigned mode(const std::string& path);
};
