#pragma once

#include "db/codes.h"

#include <QDate>
#include <QString>

namespace tolva {

// The program-wide values that every window reads: where the books live, the current
// fiscal period, the processing mode of new journal rows and the asset register's
// current property and item.
struct ProgramState {
    QString dataFolder;
    QDate periodStart;
    QDate periodEnd;
    int entryMode = code(ProcessingMode::Ordinary);
    int currentPropertyId = 0;
    int currentItemId = 0;
    // The books were opened for reading only (Database::readOnly): a read-only medium, a
    // folder this user may not write. No window offers a command that changes them.
    bool readOnly = false;
};

ProgramState& programState();

} // namespace tolva
