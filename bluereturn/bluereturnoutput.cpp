#include "bluereturn/bluereturnoutput.h"

#include "db/textformat.h"

namespace tolva {

QString blueReturnTitle()
{
    return QStringLiteral("青色申告決算書（一般用）");
}

QString blueReturnPeriodLine(const BlueReturn& statement)
{
    return textformat::period(statement.period.start, statement.period.end);
}

QStringList blueReturnPageTitles()
{
    return {QStringLiteral("1頁 損益計算書"), QStringLiteral("2頁 月別売上（収入）金額及び仕入金額"), QStringLiteral("3頁 減価償却費の計算"),
            QStringLiteral("4頁 貸借対照表（資産負債調）")};
}

QString statementAmount(const std::optional<Money>& amount)
{
    return amount ? textformat::gridAmount(*amount) : QString();
}

QStringList statementAmountTitles(int page)
{
    switch (page) {
    case 2: return {QStringLiteral("売上（収入）金額"), QStringLiteral("仕入金額")};
    case 4: return {QStringLiteral("期首"), QStringLiteral("期末")};
    default: return {QStringLiteral("金額")};
    }
}

QStringList depreciationTitles()
{
    return {QStringLiteral("減価償却資産の名称等"), QStringLiteral("面積又は数量"), QStringLiteral("取得年月"),
            QStringLiteral("取得価額"),            QStringLiteral("償却の基礎になる金額"), QStringLiteral("償却方法"),
            QStringLiteral("耐用年数"),            QStringLiteral("償却率"),   QStringLiteral("本年中の償却期間"),
            QStringLiteral("本年分の普通償却費"), QStringLiteral("割増(特別)償却費"), QStringLiteral("本年分の償却費合計"),
            QStringLiteral("事業専用割合"),        QStringLiteral("本年分の必要経費算入額"), QStringLiteral("未償却残高（期末残高）")};
}

QStringList depreciationCells(const DepreciationListRow& row)
{
    const QString name = row.kind.isEmpty() ? row.property : row.property + QStringLiteral("（") + row.kind + QStringLiteral("）");
    const QString quantity = row.quantity ? QString::number(*row.quantity, 'g', 12) : QString();
    const QString acquired = row.acquired.isValid() ? QStringLiteral("%1年%2月").arg(row.acquired.year()).arg(row.acquired.month()) : QString();
    return {name,
            quantity,
            acquired,
            textformat::gridAmount(row.price),
            textformat::gridAmount(row.inputs.base),
            row.method,
            QStringLiteral("%1年").arg(row.usefulLife),
            row.inputs.rate.toText(),
            QStringLiteral("%1/12").arg(row.inputs.months),
            textformat::gridAmount(row.figures.ordinary),
            textformat::gridAmount(row.inputs.extra),
            textformat::gridAmount(row.figures.total),
            QStringLiteral("%1%").arg(row.inputs.rentalShare),
            textformat::gridAmount(row.figures.expense),
            textformat::gridAmount(row.figures.endBalance)};
}

QStringList depreciationTotalCells(const BlueReturn& statement)
{
    Money price, base, ordinary, extra, total, expense, end;
    for (const DepreciationListRow& row : statement.depreciation) {
        price += row.price;
        base += row.inputs.base;
        ordinary += row.figures.ordinary;
        extra += row.inputs.extra;
        total += row.figures.total;
        expense += row.figures.expense;
        end += row.figures.endBalance;
    }
    return {QStringLiteral("計"),
            QString(),
            QString(),
            textformat::gridAmount(price),
            textformat::gridAmount(base),
            QString(),
            QString(),
            QString(),
            QString(),
            textformat::gridAmount(ordinary),
            textformat::gridAmount(extra),
            textformat::gridAmount(total),
            QString(),
            textformat::gridAmount(expense),
            textformat::gridAmount(end)};
}

QString familySalaryTitle()
{
    return QStringLiteral("専従者給与の内訳");
}

QList<QStringList> blueReturnCsvRows(const BlueReturn& statement)
{
    const auto plain = [](const std::optional<Money>& amount) { return amount ? textformat::plainAmount(*amount) : QString(); };
    QList<QStringList> rows;
    rows << QStringList{blueReturnTitle()} << QStringList{blueReturnPeriodLine(statement)} << QStringList{};
    rows << QStringList{QStringLiteral("頁"), QStringLiteral("区分"), QStringLiteral("番号"), QStringLiteral("項目"),
                        QStringLiteral("金額・売上・期首"), QStringLiteral("仕入・期末")};
    for (const std::vector<StatementRow>* page : {&statement.incomeStatement, &statement.monthly, &statement.balanceSheet})
        for (const StatementRow& line : *page)
            rows << QStringList{QString::number(line.page), line.section, line.number, line.caption, plain(line.first), plain(line.second)};
    for (const FamilySalaryRow& row : statement.familySalaryRows)
        rows << QStringList{QStringLiteral("2"), familySalaryTitle(), QString(), row.name, textformat::plainAmount(row.amount),
                            QStringLiteral("%1か月").arg(row.months)};
    rows << QStringList{};
    rows << (QStringList{QStringLiteral("頁"), QStringLiteral("区分")} + depreciationTitles());
    for (const DepreciationListRow& row : statement.depreciation)
        rows << (QStringList{QStringLiteral("3"), QStringLiteral("減価償却費の計算")} + depreciationCells(row));
    rows << (QStringList{QStringLiteral("3"), QStringLiteral("減価償却費の計算")} + depreciationTotalCells(statement));
    if (!statement.findings.empty()) {
        rows << QStringList{};
        for (const StatementFinding& finding : statement.findings)
            rows << QStringList{QStringLiteral("確認"), finding.message};
    }
    return rows;
}

} // namespace tolva
