#include "tests/ledger/journalrows.h"

#include "db/database.h"
#include "db/money.h"

#include <QVariant>

namespace tolva::testing {

namespace {

QVariant text(const char* value)
{
    return value ? QVariant(QString::fromUtf8(value)) : QVariant();
}

QVariant category(const char* given, const char* code)
{
    if (given)
        return QString::fromUtf8(given);
    return code ? QVariant(QString::fromUtf8(code).left(2)) : QVariant();
}

} // namespace

void addEntry(const QString& folder, const Entry& e)
{
    auto db = Database::forFolder(folder);
    Statement insert = db->prepare(QStringLiteral(
        "INSERT INTO shiwake (sDay, Lbunrui, Lcode, LScode, Lgaku, Rbunrui, Rcode, RScode, Rgaku, kubun, syori, Memo) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    const QVariant values[] = {text(e.day),
                               category(e.lbunrui, e.lcode),
                               text(e.lcode),
                               text(e.lscode),
                               QVariant(Money::fromYen(e.lgaku).units()),
                               category(e.rbunrui, e.rcode),
                               text(e.rcode),
                               text(e.rscode),
                               QVariant(Money::fromYen(e.rgaku).units()),
                               text(e.kubun),
                               QVariant(qint64(e.syori)),
                               text(e.memo)};
    for (int i = 0; i < int(std::size(values)); ++i)
        insert.bind(i + 1, values[i]);
    insert.step();
}

void addEntries(const QString& folder, std::initializer_list<Entry> entries)
{
    for (const Entry& e : entries)
        addEntry(folder, e);
}

} // namespace tolva::testing
