#pragma once

namespace tolva {

// Keeps the memory of large blocks in the process between uses; called once at the start of
// every program (the window program, the command line). Lists of a million rows and Qt's
// table of a grid's rows are allocated and freed again and again; above 32 MiB the C library
// would map fresh pages for each and fault every one in, which made the journal window open
// ten times slower at three million rows than at one million.
void keepLargeBlocks();

} // namespace tolva
