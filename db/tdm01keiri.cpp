#include "db/tdm01keiri.h"

#include "db/depreciation.h"

#include <array>

namespace tolva {

const QStringList Tdm01Keiri::kDepreciationListSql = {
    QStringLiteral("SELECT KoteiA.name, Kkubun.name, Ksyubetu.Name, KoteiB.Quantity, KoteiB.dateB, KoteiB.gaku, "
                   "KoteiC.zandakaK, shouhou.name, KoteiB.Tnen, KoteiC.SRate, KoteiC.SMonth, KoteiC.warimashiS, "
                   "KoteiC.kashitukeR, KoteiC.dateB,KoteiA.id"),
    QStringLiteral("FROM ((((KoteiA INNER JOIN KoteiB ON KoteiA.id = KoteiB.AID) INNER JOIN KoteiC ON KoteiB.id = "
                   "KoteiC.Bid) INNER JOIN Ksyubetu ON KoteiB.syubetu = Ksyubetu.code) INNER JOIN Kkubun ON "
                   "KoteiB.kubun = Kkubun.code) INNER JOIN shouhou ON KoteiB.syukyakuH = shouhou.id"),
    QStringLiteral("where KoteiC.dateB>=:sdate and KoteiC.dateB<=:eDate order by KoteiA.id,KoteiB.dateB"),
};

const QStringList Tdm01Keiri::kAccountListSql = {
    QStringLiteral("SELECT qCdoe.code,Kamoku.kamoku , Bunrui.code as bcode, Bunrui.Name , Bunrui.BP, Bunrui.LR"),
    QStringLiteral("FROM (Kamoku INNER JOIN Bunrui ON Kamoku.bunrui = Bunrui.code) INNER JOIN qUnionCode.sql as "
                   "qCdoe ON Kamoku.code = qCdoe.code order by qCdoe.code"),
};

const QString Tdm01Keiri::kClosingInputSql = QStringLiteral(
    "SELECT shisanH.nendo, shisanH.kcode, shisanH.Lgaku, shisanH.Rgaku, shisanH.LSgaku, shisanH.RSgaku, "
    "Bunrui.BP FROM (shisanH INNER JOIN Kamoku ON shisanH.kcode = Kamoku.code) INNER JOIN Bunrui ON "
    "Kamoku.bunrui = Bunrui.code");

namespace {

// The four figures as computed fields named, in order, ordinary, total, expense, end balance.
void addDepreciationFields(Dataset& dataset, const std::array<QString, 4>& names)
{
    const std::array<Money DepreciationFigures::*, 4> members{&DepreciationFigures::ordinary, &DepreciationFigures::total,
                                                              &DepreciationFigures::expense, &DepreciationFigures::endBalance};
    for (std::size_t i = 0; i < names.size(); ++i) {
        dataset.addComputedField({names[i], FieldType::Currency, [member = members[i]](Dataset& ds) -> QVariant {
                                      return QVariant::fromValue(depreciationFigures(depreciationInputsOf(ds)).*member);
                                  }, {}});
    }
}

// The name of a code in a small code table (Kkubun, Ksyubetu, shouhou); empty when the code
// is empty or unknown.
QVariant lookedUpName(Dataset& ds, const QString& sql, const QString& codeField)
{
    const QString code = ds.fieldByName(codeField).asString();
    if (code.isEmpty())
        return QString();
    Statement statement = ds.database()->prepare(sql);
    statement.bind(1, QVariant(code));
    return statement.step() ? QVariant(statement.column(0).toString()) : QVariant(QString());
}

bool codeExists(Dataset& ds, const QString& sql, const QString& code)
{
    Statement statement = ds.database()->prepare(sql);
    statement.bind(1, QVariant(code));
    return statement.step();
}

// An item or yearly row whose owner has no id yet would belong to nothing: it could never
// be found again through its property or item.
void requireOwner(Dataset& ds, const QString& ownerField, const QString& message)
{
    if (ds.fieldByName(ownerField).asInteger() <= 0)
        throw StoreError(message);
}

void requireWithin(Dataset& ds, const QString& field, const QString& caption, int low, int high)
{
    const qint64 value = ds.fieldByName(field).asInteger();
    if (value < low || value > high)
        throw StoreError(QStringLiteral("%1は %2 から %3 の間で入力してください（入力された値：%4）。")
                             .arg(caption)
                             .arg(low)
                             .arg(high)
                             .arg(value));
}

} // namespace

Tdm01Keiri::Tdm01Keiri(ProgramState& state, QObject* parent) : QObject(parent), state_(state)
{
    setObjectName(QStringLiteral("dm01Keiri"));

    t01keiri.setTableName(QStringLiteral("shiwake.DB"));
    // What the journal window does to a row, as its history names it.
    t01keiri.setHistoryCommands(QStringLiteral("仕訳入力（保存）"), QStringLiteral("仕訳削除"));
    t02koteiA.setTableName(QStringLiteral("KoteiA.DB"));
    t03koteiB.setTableName(QStringLiteral("KoteiB.DB"));
    t04koteiC.setTableName(QStringLiteral("KoteiC.DB"));
    t05Kamoku.setTableName(QStringLiteral("Kamoku.DB"));
    t07Jigyou.setTableName(QStringLiteral("Jigyounushi.db"));
    t08Sisan.setTableName(QStringLiteral("shisanH.db"));

    q01kamokuL.setSql(QStringLiteral("select * from kamoku ORDER BY code"));
    q02kamokuR.setSql(QStringLiteral("select * from kamoku"));
    q03bunruiL.setSql(QStringLiteral("select * from bunrui order by code"));
    q04bunruiR.setSql(QStringLiteral("select * from bunrui"));
    q06kubun.setSql(QStringLiteral("select * from kubun"));
    q07kamoku.setSql(QStringLiteral("select * from kamoku where bunrui=:pcode"));
    q10koteiC.setSql(QStringLiteral("select * from koteiC "));
    q11ksyubetu.setSql(QStringLiteral("select * from ksyubetu"));
    q12kkubun.setSql(QStringLiteral("select * from kkubun order by code"));
    q14kamokuBun.setSql(kAccountListSql);
    q17SyoriK.setSql(QStringLiteral("select * from syorik order by code"));
    q18Furikae.setSql(kClosingInputSql);
    q19Repo.setSql(QStringLiteral("select * from repo01"));
    q20Repo.setSql(QStringLiteral("select * from Repo02"));
    q21syoukyaku.setSql(QStringLiteral("select * from shouhou"));
    q22GSlist.setSql(kDepreciationListSql);
    q23Jyouken.setSql(QStringLiteral("select Name01,Name02,Name03 from RepoJyoken"));
    q24bunrui.setSql(QStringLiteral("select * from bunrui order by code"));

    // New-row defaults.
    t01keiri.onNewRecord = [this](Dataset& ds) { ds.fieldByName(QStringLiteral("syori")).setInteger(state_.entryMode); };
    t03koteiB.onNewRecord = [this](Dataset& ds) { ds.fieldByName(QStringLiteral("AID")).setInteger(state_.currentPropertyId); };
    t04koteiC.onNewRecord = [this](Dataset& ds) { ds.fieldByName(QStringLiteral("Bid")).setInteger(state_.currentItemId); };

    t03koteiB.addComputedField(
        {QStringLiteral("KubunName"), FieldType::Text,
         [](Dataset& ds) {
             return lookedUpName(ds, QStringLiteral("SELECT name FROM Kkubun WHERE code = ?"), QStringLiteral("kubun"));
         },
         [](Dataset& ds, const QVariant& value) {
             // What is typed into the category column is a code of the category list.
             const QString code = value.toString();
             if (!codeExists(ds, QStringLiteral("SELECT 1 FROM Kkubun WHERE code = ?"), code))
                 throw StoreError(QStringLiteral("区分が無効です"));
             ds.fieldByName(QStringLiteral("kubun")).setString(code);
         }});
    t03koteiB.addComputedField({QStringLiteral("SyubetuName"), FieldType::Text, [](Dataset& ds) {
                                    return lookedUpName(ds, QStringLiteral("SELECT Name FROM Ksyubetu WHERE code = ?"),
                                                        QStringLiteral("syubetu"));
                                }, {}});
    t03koteiB.addComputedField({QStringLiteral("shouhouname"), FieldType::Text, [](Dataset& ds) {
                                    return lookedUpName(ds, QStringLiteral("SELECT name FROM shouhou WHERE id = ?"),
                                                        QStringLiteral("syukyakuH"));
                                }, {}});
    t03koteiB.onBeforePost = [](Dataset& ds) {
        requireOwner(ds, QStringLiteral("AID"), QStringLiteral("物件を先に保存してください。（この内訳の物件が登録されていません）"));
    };
    t04koteiC.onBeforePost = [](Dataset& ds) {
        requireOwner(ds, QStringLiteral("Bid"), kYearRowWithoutItem);
        // Months beyond a year or a share beyond the whole would depreciate more than the base.
        requireWithin(ds, QStringLiteral("SMonth"), QStringLiteral("(ﾆ)月数"), 0, 12);
        requireWithin(ds, QStringLiteral("kashitukeR"), QStringLiteral("(ﾁ)貸付割合"), 0, 100);
    };

    // The year's depreciation figures are never stored: every reader of a yearly row, and of
    // the depreciation list, derives them from the row's inputs by the one routine.
    addDepreciationFields(t04koteiC, {QStringLiteral("FutuuSyoukyaku"), QStringLiteral("SyoukyakuGoukei"),
                                      QStringLiteral("HonnenK"), QStringLiteral("kimatuZan")});
    addDepreciationFields(q22GSlist, {QStringLiteral("Fsyoukyaku"), QStringLiteral("syokyakuG"),
                                      QStringLiteral("Hkeihi"), QStringLiteral("MiZan")});
    // The acquisition date's year and month, as the list prints them ("2024", "4").
    q22GSlist.addComputedField({QStringLiteral("Nen"), FieldType::Text, [](Dataset& ds) -> QVariant {
                                    const QDate acquired = ds.fieldByName(QStringLiteral("dateB")).asDate();
                                    return acquired.isValid() ? QString::number(acquired.year()) : QString();
                                }, {}});
    q22GSlist.addComputedField({QStringLiteral("fMoDa"), FieldType::Text, [](Dataset& ds) -> QVariant {
                                    const QDate acquired = ds.fieldByName(QStringLiteral("dateB")).asDate();
                                    return acquired.isValid() ? QString::number(acquired.month()) : QString();
                                }, {}});
}

Tdm01Keiri::~Tdm01Keiri()
{
    closeAll();
}

QList<Dataset*> Tdm01Keiri::datasets() const
{
    auto* self = const_cast<Tdm01Keiri*>(this);
    return {&self->t01keiri,     &self->t02koteiA,     &self->t03koteiB,   &self->t04koteiC,    &self->t05Kamoku,
            &self->t06temp1,     &self->t07Jigyou,     &self->t08Sisan,    &self->q01kamokuL,   &self->q02kamokuR,
            &self->q03bunruiL,   &self->q04bunruiR,    &self->q05shiwakeView, &self->q06kubun,  &self->q07kamoku,
            &self->q10koteiC,    &self->q11ksyubetu,   &self->q12kkubun,   &self->q13motochou,  &self->q14kamokuBun,
            &self->q16temp1,     &self->q17SyoriK,     &self->q18Furikae,  &self->q19Repo,      &self->q20Repo,
            &self->q21syoukyaku, &self->q22GSlist,     &self->q23Jyouken,  &self->q24bunrui,    &self->q25kamoku2,
            &self->q26temp,      &self->q27temp};
}

Dataset* Tdm01Keiri::datasetByName(const QString& name) const
{
    for (Dataset* ds : datasets()) {
        if (ds->datasetName().compare(name, Qt::CaseInsensitive) == 0)
            return ds;
    }
    return nullptr;
}

void Tdm01Keiri::DataModuleCreate(const QString& folder)
{
    for (Dataset* ds : datasets())
        ds->setDatabaseName(folder);
}

void Tdm01Keiri::closeAll()
{
    for (Dataset* ds : datasets())
        ds->close();
}

} // namespace tolva
