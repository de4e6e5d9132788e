#include "tdm01keiri.h"

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

Tdm01Keiri::Tdm01Keiri(ProgramState& state, QObject* parent) : QObject(parent), state_(state)
{
    setObjectName(QStringLiteral("dm01Keiri"));

    t01keiri.setTableName(QStringLiteral("shiwake.DB"));
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
