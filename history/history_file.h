#pragma once

#include <cstdint>
#include <string>

// The history file's name and what is done to a damaged one.
namespace HistoryFile {

inline constexpr const char* fileName = "kovhistory.db";

// "<directory>/kovhistory.db".
std::string pathIn(const std::string& directory);

// Creates the file if it is missing, readable by its owner only, and takes
// the group's and others' access from it and from its -wal and -shm: they
// hold messages and user names. SQLite gives the journal files it creates
// the database file's mode.
void keepPrivate(const std::string& path);

// Renames the file, with its -wal and -shm beside it, to
// "<path>.damaged-<UTC time>" (e.g. kovhistory.db.damaged-20261208T181500Z).
// Answers the new name of the file, or empty when it could not be renamed
// (`error` then says why).
std::string moveAside(const std::string& path, std::int64_t nowMs, std::string& error);

} // namespace HistoryFile
