#include "testdata.h"

#include "database.h"
#include "datafolder.h"
#include "tdm01keiri.h"

#include <QApplication>
#include <QDir>
#include <QWidget>

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

QString integrityCheck(Database& db)
{
    Statement check = db.prepare(QStringLiteral("PRAGMA integrity_check"));
    return check.step() ? check.column(0).toString() : QString();
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
