#include "closing/closingoutput.h"

#include "db/database.h"
#include "db/storeerror.h"
#include "db/textformat.h"

namespace tolva {

QString closingPeriodLine(const FiscalPeriod& period)
{
    return QStringLiteral("期間：") + textformat::reportPeriod(period.start, period.end);
}

QString closingReportName(ClosingView view)
{
    return view == ClosingView::TrialBalance ? QStringLiteral("TlRepo01") : QStringLiteral("TlRepo02");
}

QString closingReportTable(ClosingView view)
{
    return view == ClosingView::TrialBalance ? QStringLiteral("Repo01") : QStringLiteral("Repo02");
}

QString closingFileTitle(ClosingView view)
{
    return view == ClosingView::TrialBalance ? QStringLiteral("合計残高試算表") : QStringLiteral("精算表");
}

QString closingFileName(ClosingView view)
{
    return closingFileTitle(view) + QStringLiteral(".csv");
}

QList<QStringList> closingExportRows(const ClosingGrid& grid, const QString& periodLine)
{
    QList<QStringList> rows = {{closingFileTitle(grid.view)}, {periodLine}, {}};
    rows += gridRows(grid);
    return rows;
}

void writeReportHeader(Database& db, const QString& conditions, const QDate& today)
{
    const QString created = QStringLiteral("作成日：") + textformat::reportDate(today);
    Statement update = db.prepare(QStringLiteral("UPDATE RepoJyoken SET Name01=?1, Name03=?2 WHERE no=1"));
    update.bind(1, conditions);
    update.bind(2, created);
    update.step();
    if (db.changes() == 0) {
        Statement insert = db.prepare(QStringLiteral("INSERT INTO RepoJyoken (no, Name01, Name03) VALUES (1, ?1, ?2)"));
        insert.bind(1, conditions);
        insert.bind(2, created);
        insert.step();
    }
}

void fillClosingReportTables(Database& db, const ClosingGrid& grid, const QString& periodLine, const QDate& today)
{
    Transaction transaction(db);

    writeReportHeader(db, periodLine, today);

    const QString table = closingReportTable(grid.view);
    db.exec(QStringLiteral("DELETE FROM %1").arg(table));
    const int pairs = (grid.columnCount() - kFirstAmountColumn) / 2;
    QStringList fields = {QStringLiteral("kamoku")};
    QStringList places = {QStringLiteral("?1")};
    for (int pair = 1; pair <= pairs; ++pair) {
        fields << QStringLiteral("L%1").arg(pair) << QStringLiteral("R%1").arg(pair);
        places << QStringLiteral("?%1").arg(2 * pair) << QStringLiteral("?%1").arg(2 * pair + 1);
    }
    Statement insert = db.prepare(
        QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(table, fields.join(u','), places.join(u',')));
    for (const GridLine& line : grid.lines) {
        if (line.kind == GridLine::Kind::Totals)
            continue;
        const QStringList cells = lineCells(line);
        insert.bind(1, line.name);
        for (int column = kFirstAmountColumn; column < cells.size(); ++column) {
            // The figure as the user sees it: a fraction of a yen is shown, and printed, rounded.
            const QString& cell = cells[column];
            QVariant value;
            if (!cell.isEmpty()) {
                const std::optional<Money> amount = textformat::parseAmount(cell);
                if (!amount)
                    throw StoreError(QStringLiteral("「%1」の金額「%2」を%3に書き込めません。").arg(line.name, cell, table));
                value = amount->units();
            }
            insert.bind(column - kFirstAmountColumn + 2, value);
        }
        insert.step();
        insert.reset();
    }
    transaction.commit();
}

} // namespace tolva
