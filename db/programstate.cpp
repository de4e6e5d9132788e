#include "db/programstate.h"

namespace tolva {

ProgramState& programState()
{
    static ProgramState state;
    return state;
}

} // namespace tolva
