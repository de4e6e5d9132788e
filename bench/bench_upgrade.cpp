// Bringing books of layout 2 (pages without checksums) to layout 3 on 100,000 and 1,000,000
// rows, as the program does at its first start after an update: the copy with room for the
// checksums, the online backup over the books, the log folded in. The books of layout 2 are
// the generator's rows on a template built as the program built it before (no reserved bytes),
// made once under the build folder; each run upgrades a fresh copy of them. Counters: the
// file's size before and after, and its growth.
#include "bench/bookgenerator.h"
#include "db/checksumvfs.h"
#include "db/database.h"
#include "db/storeerror.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>

using namespace tolva;

namespace {

constexpr int kBooksVersion = 1;  // raise when the books below change

QString dataDir()
{
    return QStringLiteral(TOLVA_BENCH_DATA_DIR);
}

void execOn(sqlite3* db, const QByteArray& sql)
{
    char* error = nullptr;
    if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        const QString message = QString::fromUtf8(error ? error : sqlite3_errmsg(db));
        sqlite3_free(error);
        throw StoreError(message);
    }
}

QByteArray sourceText(const char* name)
{
    QFile file(QDir(QStringLiteral(TOLVA_DATA_SOURCE_DIR)).filePath(QString::fromLatin1(name)));
    if (!file.open(QIODevice::ReadOnly))
        throw StoreError(QStringLiteral("「%1」を読めません。").arg(file.fileName()));
    return file.readAll();
}

// The template as tolva-mkdata made it for layout 2: no reserved bytes.
QString layoutTwoTemplate()
{
    const QString folder = dataDir() + QStringLiteral("/template-layout2-v%1").arg(kBooksVersion);
    const QString database = QDir(folder).filePath(QString::fromLatin1(Database::kFileName));
    if (QFileInfo::exists(database))
        return folder;
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    for (const char* name : {"qUnionCode.sql", "uqSai.sql", "TlRepo01.rav"})
        QFile::copy(QDir(QStringLiteral(TOLVA_TEMPLATE_DIR)).filePath(QString::fromLatin1(name)), QDir(folder).filePath(QString::fromLatin1(name)));
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(database).constData(), &db);
    execOn(db, sourceText("schema.sql"));
    execOn(db, "BEGIN");
    execOn(db, sourceText("seed.sql"));
    execOn(db, "COMMIT; ANALYZE; PRAGMA user_version = 2; PRAGMA wal_checkpoint(TRUNCATE)");
    sqlite3_close(db);
    return folder;
}

const QString& layoutTwoBooks(qint64 rows)
{
    static std::map<qint64, QString> made;
    if (auto it = made.find(rows); it != made.end())
        return it->second;
    const QString folder = dataDir() + QStringLiteral("/books-%1-layout2-v%2").arg(rows).arg(kBooksVersion);
    if (!QFileInfo::exists(QDir(folder).filePath(QString::fromLatin1(Database::kFileName)))) {
        const QString partial = folder + QStringLiteral(".partial");
        QDir(partial).removeRecursively();
        std::fprintf(stderr, "Generating %lld rows of layout 2 into %s ...\n", static_cast<long long>(rows), qPrintable(folder));
        bookgen::BookOptions options;
        options.templateDir = layoutTwoTemplate();
        bookgen::generateBooks(partial, rows, 1, options);
        Database::closeAll();
        QDir(folder).removeRecursively();
        QDir().rename(partial, folder);
    }
    return made.emplace(rows, folder).first->second;
}

void BM_UpgradeToChecksums(benchmark::State& state)
{
    const QString source = layoutTwoBooks(state.range(0));
    const QString work = dataDir() + QStringLiteral("/upgrade-work");
    qint64 before = 0;
    qint64 after = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QDir(work).removeRecursively();
        QDir().mkpath(work);
        for (const QString& name : QDir(source).entryList(QDir::Files))
            QFile::copy(QDir(source).filePath(name), QDir(work).filePath(name));
        const QString file = QDir(work).filePath(QString::fromLatin1(Database::kFileName));
        before = QFileInfo(file).size();
        auto db = Database::forFolder(work);
        if (db->schemaVersion() != 2 || checksumvfs::isChecksummed(db->handle())) {
            state.SkipWithError("the books are not of layout 2");
            return;
        }
        state.ResumeTiming();
        db->upgradeSchema();
        state.PauseTiming();
        if (!checksumvfs::isChecksummed(db->handle()))
            state.SkipWithError("the upgrade left the books without checksums");
        db.reset();
        Database::closeAll();
        after = QFileInfo(file).size();
        state.ResumeTiming();
    }
    QDir(work).removeRecursively();
    state.counters["MB_before"] = double(before) / 1e6;
    state.counters["MB_after"] = double(after) / 1e6;
    state.counters["growth_pct"] = before > 0 ? 100.0 * double(after - before) / double(before) : 0.0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    checksumvfs::install();  // as every program does before its first connection
    benchmark::RegisterBenchmark("BM_UpgradeToChecksums", BM_UpgradeToChecksums)
        ->Arg(100000)
        ->Arg(1000000)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(2);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
