#pragma once

#include "db/database.h"
#include "db/programstate.h"
#include "db/tdm01keiri.h"
#include "tests/support/testdata.h"

#include <gtest/gtest.h>

namespace tolva::testing {

// Books with a few properties, items and yearly rows, written through the shared datasets
// the way the asset register writes them.
class AssetBooks : public ::testing::Test {
protected:
    void SetUp() override { dm.DataModuleCreate(folder.path()); }
    void TearDown() override { dm.closeAll(); }

    Database& db() { return *dm.t02koteiA.database(); }

    int addProperty(const QString& name)
    {
        Table& a = dm.t02koteiA;
        a.open();
        a.append();
        a.fieldByName(QStringLiteral("name")).setString(name);
        a.post();
        return int(a.fieldByName(QStringLiteral("id")).asInteger());
    }

    struct Item {
        QDate acquired;
        QString kubun = QStringLiteral("01");
        QString syubetu = QStringLiteral("01");
        qint64 price = 0;
        int life = 0;
        QString method = QStringLiteral("01");
        double quantity = 0;
    };

    int addItem(int propertyId, const Item& item)
    {
        state.currentPropertyId = propertyId;
        Table& b = dm.t03koteiB;
        b.open();
        b.append();
        b.fieldByName(QStringLiteral("dateB")).setDate(item.acquired);
        b.fieldByName(QStringLiteral("kubun")).setString(item.kubun);
        b.fieldByName(QStringLiteral("syubetu")).setString(item.syubetu);
        b.fieldByName(QStringLiteral("gaku")).setMoney(Money::fromYen(item.price));
        b.fieldByName(QStringLiteral("Tnen")).setInteger(item.life);
        b.fieldByName(QStringLiteral("syukyakuH")).setString(item.method);
        if (item.quantity != 0)
            b.fieldByName(QStringLiteral("Quantity")).setFloat(item.quantity);
        b.post();
        return int(b.fieldByName(QStringLiteral("id")).asInteger());
    }

    struct YearRow {
        QDate day;
        qint64 base = 0;
        double rate = 0;
        int months = 12;
        int share = 100;
        qint64 extra = 0;
    };

    int addYearRow(int itemId, const YearRow& row)
    {
        state.currentItemId = itemId;
        Table& c = dm.t04koteiC;
        c.open();
        c.append();
        c.fieldByName(QStringLiteral("dateB")).setDate(row.day);
        c.fieldByName(QStringLiteral("zandakaK")).setMoney(Money::fromYen(row.base));
        c.fieldByName(QStringLiteral("SRate")).setFloat(row.rate);
        c.fieldByName(QStringLiteral("SMonth")).setInteger(row.months);
        c.fieldByName(QStringLiteral("kashitukeR")).setInteger(row.share);
        c.fieldByName(QStringLiteral("warimashiS")).setMoney(Money::fromYen(row.extra));
        c.post();
        return int(c.fieldByName(QStringLiteral("id")).asInteger());
    }

    TestDataFolder folder;
    ProgramState state;
    Tdm01Keiri dm{state};
};

} // namespace tolva::testing
