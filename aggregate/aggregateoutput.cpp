#include "aggregate/aggregateoutput.h"

#include "closing/closingoutput.h"
#include "db/database.h"
#include "db/storeerror.h"
#include "db/textformat.h"

namespace tolva {

namespace {

struct ColumnField {
    int column;
    const char* field;
};

// Where each field of the work table comes from.
const std::vector<ColumnField>& reportFields(AggregateView view)
{
    static const std::vector<ColumnField> accounts = {{2, "kamoku"}, {3, "L1"}, {4, "R1"}, {5, "L2"}, {6, "R2"}};
    static const std::vector<ColumnField> subAccounts = {{2, "kamoku"}, {4, "Saimoku"}, {5, "L1"}, {6, "L2"},
                                                         {7, "R1"},     {8, "R2"},      {9, "L3"}, {10, "L4"},
                                                         {11, "R3"},    {12, "R4"}};
    return view == AggregateView::Accounts ? accounts : subAccounts;
}

} // namespace

std::optional<QString> aggregateReportName(const AggregateGrid& grid)
{
    if (!grid.view)
        return std::nullopt;
    return *grid.view == AggregateView::Accounts ? QStringLiteral("TlRepo01") : QStringLiteral("TlRepo03");
}

std::optional<QString> aggregateReportTable(const AggregateGrid& grid)
{
    if (!grid.view)
        return std::nullopt;
    return *grid.view == AggregateView::Accounts ? QStringLiteral("Repo01") : QStringLiteral("Repo03");
}

QString aggregateFileTitle(const AggregateGrid& grid)
{
    return grid.view == AggregateView::Accounts ? QStringLiteral("科目集計試算表") : QStringLiteral("細目集計試算表");
}

QString aggregateFileName(const AggregateGrid& grid)
{
    return aggregateFileTitle(grid) + QStringLiteral(".csv");
}

QList<QStringList> aggregateExportRows(const AggregateGrid& grid, const QString& rangeLabel)
{
    QList<QStringList> rows = {{aggregateFileTitle(grid)}, {rangeLabel}, {}};
    rows += aggregateGridRows(grid);
    return rows;
}

void fillAggregateReportTables(Database& db, const AggregateGrid& grid, const QString& rangeLabel, const QDate& today)
{
    Transaction transaction(db);
    writeReportHeader(db, rangeLabel, today);
    if (grid.view) {
        const QString table = *aggregateReportTable(grid);
        const std::vector<ColumnField>& fields = reportFields(*grid.view);
        QStringList names, places;
        for (size_t i = 0; i < fields.size(); ++i) {
            names << QLatin1String(fields[i].field);
            places << QStringLiteral("?%1").arg(i + 1);
        }
        db.exec(QStringLiteral("DELETE FROM %1").arg(table));
        Statement insert =
            db.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(table, names.join(u','), places.join(u',')));
        for (const AggregateLine& line : grid.lines) {
            if (line.kind == AggregateLine::Kind::Totals)
                continue;
            for (size_t i = 0; i < fields.size(); ++i) {
                const QString& cell = line.cells[fields[i].column];
                QVariant value;
                if (!cell.isEmpty()) {
                    if (line.amounts[size_t(fields[i].column)]) {
                        // The figure as the user sees it: a fraction of a yen is shown, and printed, rounded.
                        const std::optional<Money> amount = textformat::parseAmount(cell);
                        if (!amount)
                            throw StoreError(QStringLiteral("金額「%1」を%2に書き込めません。").arg(cell, table));
                        value = amount->units();
                    } else {
                        value = cell;
                    }
                }
                insert.bind(int(i) + 1, value);
            }
            insert.step();
            insert.reset();
        }
    }
    transaction.commit();
}

} // namespace tolva
