// A small program over the core libraries alone, as a command-line front end would be. Its
// test checks that the linked program needs no Qt Widgets library.
#include "db/database.h"
#include "db/fiscalperiod.h"
#include "journal/journallist.h"
#include "ledger/ledgerbook.h"
#include "reports/csvwriter.h"
#include "reports/reportproject.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const tolva::FiscalPeriod period = tolva::periodForFiscalYear(2010, 3);
    const QString line = tolva::csv::joinRow({tolva::journallist::baseSql().left(6), tolva::motochouSql(tolva::LedgerKind::Account).left(6)});
    std::printf("%s %s %d\n", qPrintable(period.start.toString(Qt::ISODate)), qPrintable(line),
                int(tolva::requiredTables().size() + tolva::reports::connectionNames().size()));
    return 0;
}
