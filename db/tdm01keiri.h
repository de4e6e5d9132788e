#pragma once

#include "db/dataset.h"
#include "db/programstate.h"

#include <QObject>

namespace tolva {

// The shared data module: one set of named datasets that every window uses. Created once
// at start-up; every dataset is pointed at the data folder and none is opened. The
// program-wide values it is given (the mode of new journal rows, the asset register's
// current property and item) are what the new-row defaults read; whoever creates the module
// decides where they live.
class Tdm01Keiri : public QObject {
    Q_OBJECT
public:
    explicit Tdm01Keiri(ProgramState& state, QObject* parent = nullptr);
    ~Tdm01Keiri() override;

    // Points every table and query at `folder`.
    void DataModuleCreate(const QString& folder);
    // Closes every dataset (at the end of the program or before a test's next fixture).
    void closeAll();

    [[nodiscard]] QList<Dataset*> datasets() const;
    [[nodiscard]] Dataset* datasetByName(const QString& name) const;

    [[nodiscard]] ProgramState& state() const { return state_; }

    Table t01keiri{QStringLiteral("t01keiri")};
    Table t02koteiA{QStringLiteral("t02koteiA")};
    Table t03koteiB{QStringLiteral("t03koteiB")};
    Table t04koteiC{QStringLiteral("t04koteiC")};
    Table t05Kamoku{QStringLiteral("t05Kamoku")};
    Table t06temp1{QStringLiteral("t06temp1")};
    Table t07Jigyou{QStringLiteral("t07Jigyou")};
    Table t08Sisan{QStringLiteral("t08Sisan")};

    Query q01kamokuL{QStringLiteral("q01kamokuL")};
    Query q02kamokuR{QStringLiteral("q02kamokuR")};
    Query q03bunruiL{QStringLiteral("q03bunruiL")};
    Query q04bunruiR{QStringLiteral("q04bunruiR")};
    Query q05shiwakeView{QStringLiteral("q05shiwakeView")};
    Query q06kubun{QStringLiteral("q06kubun")};
    Query q07kamoku{QStringLiteral("q07kamoku")};
    Query q10koteiC{QStringLiteral("q10koteiC")};
    Query q11ksyubetu{QStringLiteral("q11ksyubetu")};
    Query q12kkubun{QStringLiteral("q12kkubun")};
    Query q13motochou{QStringLiteral("q13motochou")};
    Query q14kamokuBun{QStringLiteral("q14kamokuBun")};
    Query q16temp1{QStringLiteral("q16temp1")};
    Query q17SyoriK{QStringLiteral("q17SyoriK")};
    Query q18Furikae{QStringLiteral("q18Furikae")};
    Query q19Repo{QStringLiteral("q19Repo")};
    Query q20Repo{QStringLiteral("q20Repo")};
    Query q21syoukyaku{QStringLiteral("q21syoukyaku")};
    Query q22GSlist{QStringLiteral("q22GSlist")};
    Query q23Jyouken{QStringLiteral("q23Jyouken")};
    Query q24bunrui{QStringLiteral("q24bunrui")};
    Query q25kamoku2{QStringLiteral("q25kamoku2")};
    Query q26temp{QStringLiteral("q26temp")};
    Query q27temp{QStringLiteral("q27temp")};

    // The depreciation list of one target period.
    static const QStringList kDepreciationListSql;
    // Why a yearly row cannot be kept: its item has not been saved yet.
    static inline const QString kYearRowWithoutItem =
        QStringLiteral("物件内訳を先に保存してください。（この償却状況の内訳が登録されていません）");
    // The accounts the year-end aggregation sums (q14kamokuBun): the codes of the stored query
    // qUnionCode.sql that exist in Kamoku with an existing category, in code order.
    static const QStringList kAccountListSql;
    // The year-end totals with each account's statement code (q18Furikae), before the
    // closing adds its year condition.
    static const QString kClosingInputSql;

private:
    ProgramState& state_;
};

} // namespace tolva
