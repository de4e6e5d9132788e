#pragma once

// What the tests that kill or signal a program share: the books' state to compare before and
// after, and a data folder copied.

#include "db/database.h"
#include "tests/support/testdata.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QString>

#include <gtest/gtest.h>

namespace tolva::testing {

// The books' state as a short text: every row of every table, hashed.
inline QByteArray stateOf(const QString& folder)
{
    Database::closeAll();
    const QByteArray state = QCryptographicHash::hash(booksState(*Database::forFolder(folder)).toUtf8(), QCryptographicHash::Sha256);
    Database::closeAll();
    return state;
}

inline void copyFolder(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    for (const QString& name : QDir(from).entryList(QDir::Files))
        ASSERT_TRUE(QFile::copy(QDir(from).filePath(name), QDir(to).filePath(name)));
}

} // namespace tolva::testing
