#include "bench/benchbooks.h"

#include "bench/bookgenerator.h"
#include "db/database.h"
#include "db/textformat.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <map>

namespace tolva::benchbooks {

namespace {
// Part of the folder name: raise it whenever the generator makes different books.
constexpr int kBooksVersion = 5;
constexpr quint32 kSeed = 1;
} // namespace

qint64 wantedRows(qint64 defaultRows)
{
    const QByteArray value = qgetenv("TOLVA_BENCH_ROWS");
    if (value.isNull())
        return defaultRows;
    bool ok = false;
    const qint64 rows = value.toLongLong(&ok);
    return ok && rows > 0 ? rows : 100000;
}

const Books& books(qint64 rows)
{
    static std::map<qint64, Books> made;
    if (auto it = made.find(rows); it != made.end())
        return it->second;
    Books b;
    b.rows = rows;
    b.folder = QStringLiteral(TOLVA_BENCH_DATA_DIR "/books-%1-v%2").arg(rows).arg(kBooksVersion);
    const int year = bookgen::defaultLastDay().year() - 1;
    b.yearStart = QDate(year, 1, 1);
    b.yearEnd = QDate(year, 12, 31);
    if (!QFileInfo::exists(QDir(b.folder).filePath(QString::fromLatin1(Database::kFileName)))) {
        const QString partial = b.folder + QStringLiteral(".partial");
        QDir(partial).removeRecursively();
        std::fprintf(stderr, "Generating %lld rows into %s ...\n", static_cast<long long>(rows), qPrintable(b.folder));
        bookgen::BookOptions options;
        options.templateDir = QStringLiteral(TOLVA_TEMPLATE_DIR);
        bookgen::generateBooks(partial, rows, kSeed, options);
        QDir(b.folder).removeRecursively();
        if (!QDir().rename(partial, b.folder))
            throw StoreError(QStringLiteral("「%1」を「%2」に改名できません。").arg(partial, b.folder));
    }
    return made.emplace(rows, b).first->second;
}

std::vector<int64_t> sizes()
{
    std::vector<int64_t> result = {100000, 1000000};
    if (qEnvironmentVariableIntValue("TOLVA_BENCH_3M") != 0)
        result.push_back(3000000);
    return result;
}

void BM_RawYearUnionGroupBy(benchmark::State& state)
{
    const Books& b = books(state.range(0));
    auto db = Database::forFolder(b.folder);
    for (auto _ : state) {
        Statement s = db->prepare(QStringLiteral(
            "SELECT code, SUM(l), SUM(r) FROM ("
            " SELECT Lcode AS code, Lgaku AS l, NULL AS r FROM shiwake NOT INDEXED WHERE sDay>=?1 AND sDay<=?2"
            " UNION ALL"
            " SELECT Rcode, NULL, Rgaku FROM shiwake NOT INDEXED WHERE sDay>=?1 AND sDay<=?2"
            ") GROUP BY code"));
        s.bind(1, textformat::isoDate(b.yearStart));
        s.bind(2, textformat::isoDate(b.yearEnd));
        int codes = 0;
        while (s.step())
            ++codes;
        benchmark::DoNotOptimize(codes);
    }
}

} // namespace tolva::benchbooks
