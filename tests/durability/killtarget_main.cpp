// A writing command of the books run in a process of its own, for the test that kills it at
// a random moment: takes the folder's lock as the program does, opens the books and runs one
// command to its end.
#include "backup.h"
#include "closingentries.h"
#include "database.h"
#include "datafolder.h"
#include "storeerror.h"
#include "yearend.h"

#include <QCoreApplication>
#include <QDateTime>

#include <cstdio>

using namespace tolva;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 4)
        return 2;
    const QString folder = args[1];
    const QString command = args[2];
    const FiscalPeriod period = periodForFiscalYear(args[3].toInt(), 12);
    try {
        datafolder::Lock lock(folder);
        if (!lock.acquired())
            return 3;
        Database& db = *Database::forFolder(folder);
        if (command == u"upgrade") {
            db.upgradeSchema();
        } else if (command == u"year-totals") {
            (void)aggregateYearEnd(db, period);
        } else if (command == u"closing-transfers") {
            const ClosingTransfers result =
                runClosingTransfers(db, period, BackupRequest{backupFolder(folder), QDateTime::currentDateTime(), 10});
            if (result.refusal)
                return 4;
        } else {
            return 2;
        }
        Database::closeAll();
    } catch (const StoreError& e) {
        std::fprintf(stderr, "%s\n", e.message().toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
