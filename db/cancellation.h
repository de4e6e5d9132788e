#pragma once

#include "db/storeerror.h"

namespace tolva::cancellation {

// A command asked to stop (Ctrl-C, a termination signal): set from a signal handler, seen by
// the long loops of the store (SQLite's progress handler, the output file's writes), which
// stop with `Cancelled`; unwinding then rolls the write back, removes temporary files and
// releases the folder.
void request() noexcept;  // async-signal-safe
[[nodiscard]] bool requested() noexcept;

class Cancelled : public StoreError {
public:
    Cancelled();
};

// A write was committed: a stop asked for later cannot take it back, and must not say so.
void noteWriteCommitted() noexcept;
[[nodiscard]] bool writesCommitted() noexcept;

// Throws Cancelled when a stop was asked for.
void throwIfRequested();

} // namespace tolva::cancellation
