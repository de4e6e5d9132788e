#pragma once

// What the journal window's panels and its handling of the current row share: the statements
// that fill the lists of accounts, sub-accounts and use categories, and how a list is filled.

#include "db/dataset.h"

#include <QComboBox>
#include <QString>
#include <QStringList>

#include <limits>

namespace tolva::journalwindow {

inline const QString kAccountsOfCategory = QStringLiteral("select * from kamoku where bunrui=:pcode");
inline const QString kSubAccountsOfAccount = QStringLiteral("select * from kamoku02 where bunrui=:pcode");
inline const QString kCategoriesOfUse = QStringLiteral("select * from kubun where yoto=:pcode");
// The window's words for an amount that is not a number, wherever it checks one.
inline const QString kNotANumber = QStringLiteral("入力値が正しくありません");

inline void reopenWithCode(Query& query, const QString& sql, const QString& code)
{
    query.close();
    query.setSql(sql);
    query.setParam(0, code);
    query.open();
}

// "code name" items of a query's rows.
inline QStringList itemsOf(Query& query, const QString& codeField, const QString& nameField)
{
    QStringList items;
    const int code = query.fieldIndex(codeField);
    const int name = query.fieldIndex(nameField);
    if (code < 0 || name < 0)
        return items;
    const int rows = query.fetchUntil(std::numeric_limits<int>::max());
    for (int i = 0; i < rows; ++i)
        items << query.rowAt(i).at(code).toString() + u' ' + query.rowAt(i).at(name).toString();
    return items;
}

inline void setItems(QComboBox* box, const QStringList& items)
{
    box->blockSignals(true);
    box->clear();
    box->addItems(items);
    box->setCurrentIndex(-1);
    box->blockSignals(false);
}

} // namespace tolva::journalwindow
