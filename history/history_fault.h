#pragma once

namespace History {

// What went wrong with the store, by what the writer does about it.
enum class Fault {
    None,
    Damaged,     // not a database, or damaged: moved aside, a new one started
    NewerSchema, // written by a newer client: read, never written
    Unwritable,  // read-only or full disk, or cannot be opened: paused, retried
    Busy         // another client holds the write lock past the busy timeout: retried
};

} // namespace History
