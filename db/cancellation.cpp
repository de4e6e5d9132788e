#include "db/cancellation.h"

#include <csignal>

namespace tolva::cancellation {

namespace {
volatile std::sig_atomic_t stopAsked = 0;
volatile std::sig_atomic_t committed = 0;
} // namespace

void request() noexcept
{
    stopAsked = 1;
}

bool requested() noexcept
{
    return stopAsked != 0;
}

void noteWriteCommitted() noexcept
{
    committed = 1;
}

bool writesCommitted() noexcept
{
    return committed != 0;
}

Cancelled::Cancelled() : StoreError(QStringLiteral("中断しました。途中までの変更は取り消しました。")) {}

void throwIfRequested()
{
    if (requested())
        throw Cancelled();
}

} // namespace tolva::cancellation
