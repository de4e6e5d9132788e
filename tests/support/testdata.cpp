#include "tests/support/testdata.h"

#include "db/database.h"
#include "db/datafolder.h"
#include "db/history.h"
#include "db/tdm01keiri.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QWidget>

#include <sqlite3.h>

#include <gtest/gtest.h>

namespace tolva::testing {

QString templateDir()
{
    return QStringLiteral(TOLVA_TEMPLATE_DIR);
}

TestDataFolder::TestDataFolder()
{
    Database::closeAll();
    datafolder::initialise(dir_.path(), templateDir());
}

TestDataFolder::~TestDataFolder()
{
    Database::closeAll();
}

void expectNoWindowLeftOpen()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(w->isVisible()) << "a window was left open: " << w->windowTitle().toStdString();
}

QString booksState(Database& db)
{
    QStringList lines;
    for (const QString& table : requiredTables()) {
        Statement rows = db.prepare(QStringLiteral("SELECT * FROM \"%1\" ORDER BY rowid").arg(table));
        while (rows.step()) {
            QStringList cells{table};
            for (int i = 0; i < rows.columnCount(); ++i)
                cells << rows.column(i).toString();
            lines << cells.join(u'|');
        }
    }
    return lines.join(u'\n');
}

QString historyState(Database& db)
{
    QStringList lines;
    for (const history::Entry& e : history::read(db, {})) {
        QStringList cells{QString::number(e.seq), QString::number(e.commandId), e.command, e.operation, QString::number(e.rowId)};
        for (const QVector<QVariant>* values : {&e.before, &e.after})
            for (const QVariant& value : *values)
                cells << value.toString();
        lines << cells.join(u'|');
    }
    return lines.join(u'\n');
}

QString integrityCheck(Database& db)
{
    Statement check = db.prepare(QStringLiteral("PRAGMA integrity_check"));
    return check.step() ? check.column(0).toString() : QString();
}

bool damageAJournalPage(const QString& folder, int rows)
{
    const QByteArray path = QDir(folder).filePath(QString::fromLatin1(Database::kFileName)).toUtf8();
    sqlite3* handle = nullptr;
    if (sqlite3_open_v2(path.constData(), &handle, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(handle);
        return false;
    }
    tolva::history::registerFunctions(handle);
    const std::string fill = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " + std::to_string(rows)
                             + ") INSERT INTO shiwake (sDay, Lcode, Lgaku, Rcode, Rgaku, Memo) "
                               "SELECT date('2020-01-01', '+' || (i % 366) || ' days'), printf('%03d', i % 97), i * 10000, "
                               "printf('%03d', i % 89), i * 10000, printf('row %d', i) FROM n";
    qint64 page = 0;
    qint64 pageSize = 0;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_exec(handle, fill.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK
        && sqlite3_prepare_v2(handle,
                              "SELECT pageno, (SELECT page_size FROM pragma_page_size) FROM dbstat "
                              "WHERE name = 'shiwake' AND pagetype = 'leaf' ORDER BY pageno LIMIT 1 OFFSET 20",
                              -1, &stmt, nullptr)
               == SQLITE_OK
        && sqlite3_step(stmt) == SQLITE_ROW) {
        page = sqlite3_column_int64(stmt, 0);
        pageSize = sqlite3_column_int64(stmt, 1);
    }
    sqlite3_finalize(stmt);
    sqlite3_close(handle);
    if (page == 0)
        return false;
    QFile file(QString::fromUtf8(path));
    if (!file.open(QIODevice::ReadWrite) || !file.seek((page - 1) * pageSize))
        return false;
    return file.write(QByteArray(int(pageSize), '\x5a')) == pageSize;
}

void makeBooksOfLayoutTwo(const QString& folder)
{
    Database::closeAll();
    const QString path = QDir(folder).filePath(QString::fromLatin1(Database::kFileName));
    for (const char* suffix : {"", "-wal", "-shm"})
        QFile::remove(path + QString::fromLatin1(suffix));
    const auto text = [](const char* name) {
        QFile file(QDir(QStringLiteral(TOLVA_DATA_SOURCE_DIR)).filePath(QString::fromLatin1(name)));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
        return file.readAll();
    };
    sqlite3* handle = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &handle), SQLITE_OK);
    tolva::history::registerFunctions(handle);
    for (const QByteArray& sql : {text("schema.sql"), QByteArray("BEGIN"), text("seed.sql"),
                                  QByteArray("COMMIT; ANALYZE; PRAGMA user_version = 2; PRAGMA wal_checkpoint(TRUNCATE)")}) {
        char* error = nullptr;
        EXPECT_EQ(sqlite3_exec(handle, sql.constData(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
        sqlite3_free(error);
    }
    sqlite3_close(handle);
}

int changeStoredInteger(const QString& path, qint64 stored, int most)
{
    int bytes = 8;
    for (const int size : {1, 2, 3, 4, 6}) {
        if (stored >= -(qint64(1) << (8 * size - 1)) && stored < (qint64(1) << (8 * size - 1))) {
            bytes = size;
            break;
        }
    }
    QByteArray pattern;
    for (int i = bytes - 1; i >= 0; --i)
        pattern.append(char(quint64(stored) >> (8 * i)));
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return 0;
    QByteArray content = file.readAll();
    int changed = 0;
    for (qsizetype at = content.indexOf(pattern); at >= 0 && changed != most; at = content.indexOf(pattern, at + bytes)) {
        content[at + bytes - 1] = char(content[at + bytes - 1] ^ 0x01);
        ++changed;
    }
    file.seek(0);
    file.write(content);
    return changed;
}

QString TestDataFolder::file(const QString& name) const
{
    return QDir(dir_.path()).filePath(name);
}

void prepareJournalQueries(Tdm01Keiri& dm)
{
    for (auto [query, sql] : {std::pair{&dm.q25kamoku2, "select * from kamoku02"}, std::pair{&dm.q16temp1, "select * from kamoku02"},
                              std::pair{&dm.q26temp, "select * from yoto"}}) {
        query->close();
        query->setSql(QString::fromLatin1(sql));
        query->open();
    }
}

void releaseJournalQueries(Tdm01Keiri& dm)
{
    dm.q25kamoku2.close();
    dm.q16temp1.close();
    dm.q26temp.close();
}

} // namespace tolva::testing
