// A writing command of the books run in a process of its own, for the tests that kill it:
// takes the folder's lock as the program does, opens the books and runs one command to its
// end. "first-start" is the program's start instead (startup::openBooks), every question
// answered Yes and written to the standard output.
#include "app/startup.h"
#include "closing/closingentries.h"
#include "closing/yearend.h"
#include "db/backup.h"
#include "db/database.h"
#include "db/datafolder.h"
#include "db/storeerror.h"
#include "tests/support/scriptedprompter.h"

#include <QCoreApplication>
#include <QDateTime>

#include <cstdio>

using namespace tolva;

namespace {

// The start of the program on `folder` as far as the books go; 0 when it would show the main
// window, 5 when it would end.
int firstStart(const QString& folder, const QString& templateDir)
{
    tolva::testing::ScriptedPrompter prompts;
    prompts.answers = {true, true, true};
    auto lock = startup::openBooks(folder, templateDir);
    for (const auto& message : prompts.messages)
        std::printf("%s: %s\n", message.kind == tolva::testing::ScriptedPrompter::Message::Question ? "asked" : "told",
                    message.text.toUtf8().constData());
    std::fflush(stdout);
    Database::closeAll();
    return lock ? 0 : 5;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 4)
        return 2;
    const QString folder = args[1];
    const QString command = args[2];
    if (command == u"first-start")
        return firstStart(folder, args[3]);
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
