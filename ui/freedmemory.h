#pragma once

namespace tolva {

// Hands the memory freed so far back to the system. The allocator keeps what a closed window
// or preview freed for the program's own later use; a long book shown once would otherwise
// hold its hundreds of megabytes for as long as the program runs.
void returnFreedMemory();

} // namespace tolva
