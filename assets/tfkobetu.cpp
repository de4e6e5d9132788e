#include "assets/tfkobetu.h"

#include "aids/tcalcul.h"
#include "assets/yearrow.h"
#include "db/dataset.h"
#include "db/tdm01keiri.h"
#include "db/textformat.h"
#include "ui/actionguard.h"
#include "ui/closequestion.h"
#include "ui/help.h"

#include <QAction>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace tolva {

TfKobetu::TfKobetu(Tdm01Keiri& dm, const QString& propertyName, const Rate& previousRate, Money previousEndBalance,
                   QWidget* owner)
    : QDialog(owner), dm_(dm), previousEndBalance_(previousEndBalance)
{
    setObjectName(QStringLiteral("TfKobetu"));
    setWindowTitle(QStringLiteral("個別減価償却処理"));
    Table& b = dm_.t03koteiB;
    Table& y = dm_.t04koteiC;
    if (!dm_.q21syoukyaku.isActive()) {
        dm_.q21syoukyaku.open();
        openedMethods_ = true;
    }

    auto* outer = new QVBoxLayout(this);
    auto* bar = new QMenuBar(this);
    outer->setMenuBar(bar);
    c_.help = bar->addMenu(QStringLiteral("ﾍﾙﾌﾟ"))->addAction(QStringLiteral("ｻﾎﾟｰﾄｻｲﾄ"));
    connect(c_.help, &QAction::triggered, this, [this] { guarded(this, [&] { HelpClick(); }); });

    auto* itemBox = new QGroupBox(this);
    auto* item = new QGridLayout(itemBox);
    int row = 0;
    auto addItemRow = [&](const QString& caption, QWidget* control) {
        item->addWidget(new QLabel(caption, itemBox), row, 0);
        item->addWidget(control, row, 1);
        control->setEnabled(false);
        ++row;
    };
    auto itemEdit = [&](const QString& field, DbEdit::Kind kind, const QString& caption) {
        auto* edit = new DbEdit(b, field, kind, itemBox);
        edit->setCaption(caption);
        edit->setReadOnly(true);
        addItemRow(caption, edit);
        return edit;
    };
    c_.property = new QLineEdit(propertyName, itemBox);
    c_.property->setReadOnly(true);
    addItemRow(QStringLiteral("償却対象"), c_.property);
    c_.category = new DbLookupCombo(b, QStringLiteral("kubun"), dm_.q12kkubun, QStringLiteral("code"), QStringLiteral("Name"), itemBox);
    addItemRow(QStringLiteral("区分"), c_.category);
    c_.kind = new DbLookupCombo(b, QStringLiteral("syubetu"), dm_.q11ksyubetu, QStringLiteral("code"), QStringLiteral("Name"), itemBox);
    addItemRow(QStringLiteral("種別"), c_.kind);
    c_.acquired = itemEdit(QStringLiteral("dateB"), DbEdit::Kind::Date, QStringLiteral("取得日"));
    c_.price = itemEdit(QStringLiteral("gaku"), DbEdit::Kind::Amount, QStringLiteral("(ｲ)取得価格"));
    c_.quantity = itemEdit(QStringLiteral("Quantity"), DbEdit::Kind::Text, QStringLiteral("面積又は数量"));
    c_.life = itemEdit(QStringLiteral("Tnen"), DbEdit::Kind::Text, QStringLiteral("耐用年数"));
    c_.start = itemEdit(QStringLiteral("Sdate"), DbEdit::Kind::Date, QStringLiteral("償却開始日"));
    c_.method = new DbLookupCombo(b, QStringLiteral("syukyakuH"), dm_.q21syoukyaku, QStringLiteral("id"), QStringLiteral("name"), itemBox);
    addItemRow(QStringLiteral("償却方法"), c_.method);

    // The figures of the year before are of any size: their place is as wide as the largest,
    // so that the dialog opens at the same size for every item.
    const int figureWidth = fontMetrics().horizontalAdvance(QStringLiteral("-999,999,999,999")) + 8;
    auto* previous = new QGroupBox(QStringLiteral("前年度状況"), this);
    auto* previousGrid = new QGridLayout(previous);
    previousGrid->addWidget(new QLabel(QStringLiteral("償却率"), previous), 0, 0);
    c_.previousRate = new QLabel(previousRate.isZero() ? QStringLiteral("0") : previousRate.toText(), previous);
    previousGrid->addWidget(c_.previousRate, 0, 1);
    previousGrid->addWidget(new QLabel(QStringLiteral("前年度末残高"), previous), 1, 0);
    c_.previousEndBalance = new QLabel(textformat::plainAmount(previousEndBalance), previous);
    previousGrid->addWidget(c_.previousEndBalance, 1, 1);
    for (QLabel* figure : {c_.previousRate, c_.previousEndBalance}) {
        figure->setFixedWidth(figureWidth);
        figure->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    c_.calculator = new QPushButton(QStringLiteral("電卓"), this);
    c_.calculator->setAutoDefault(false);
    connect(c_.calculator, &QPushButton::clicked, this, [this] { showCalculator(this); });
    c_.close = new QPushButton(QStringLiteral("閉じる"), this);
    c_.close->setAutoDefault(false);

    // The item with the year before on the left, the year's row on the right: side by side the
    // dialog fits beside the register instead of running down the whole screen.
    auto* left = new QVBoxLayout;
    left->addWidget(itemBox);
    left->addWidget(previous);
    left->addStretch(1);
    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    outer->addLayout(columns);

    auto* yearBox = new QGroupBox(this);
    auto* year = new QGridLayout(yearBox);
    row = 0;
    auto yearEdit = [&](const QString& field, DbEdit::Kind kind, const QString& caption, bool calculated = false) {
        auto* edit = new DbEdit(y, field, kind, yearBox);
        edit->setCaption(caption);
        if (calculated)
            edit->setReadOnly(true);
        year->addWidget(new QLabel(caption, yearBox), row, 0);
        year->addWidget(edit, row, 1);
        ++row;
        return edit;
    };
    c_.day = yearEdit(QStringLiteral("dateB"), DbEdit::Kind::Date, QStringLiteral("償却日"));
    c_.base = yearEdit(QStringLiteral("zandakaK"), DbEdit::Kind::Amount, QStringLiteral("(ﾛ)償却の基礎(期首残高)"));
    c_.rate = yearEdit(QStringLiteral("SRate"), DbEdit::Kind::Text, QStringLiteral("(ﾊ)償却率"));
    c_.months = yearEdit(QStringLiteral("SMonth"), DbEdit::Kind::Text, QStringLiteral("(ﾆ)償却期間(月数）"));
    year->addWidget(new QLabel(QStringLiteral("/12ｶ月"), yearBox), row - 1, 2);
    c_.ordinary = yearEdit(QStringLiteral("FutuuSyoukyaku"), DbEdit::Kind::Amount, QStringLiteral("(ﾎ)普通償却費 [(ﾛ)×(ﾊ)×(ﾆ)]"), true);
    c_.extra = yearEdit(QStringLiteral("warimashiS"), DbEdit::Kind::Amount, QStringLiteral("(ﾍ)割増償却額"));
    c_.total = yearEdit(QStringLiteral("SyoukyakuGoukei"), DbEdit::Kind::Amount, QStringLiteral("(ﾄ)償却費合計[(ﾎ)+(ﾍ)]"), true);
    c_.share = yearEdit(QStringLiteral("kashitukeR"), DbEdit::Kind::Text, QStringLiteral("(ﾁ)貸付割合(%)"));
    c_.expense = yearEdit(QStringLiteral("HonnenK"), DbEdit::Kind::Amount, QStringLiteral("(ﾘ)本年分の必要経費 [(ﾄ)×(ﾁ)]"), true);
    c_.endBalance = yearEdit(QStringLiteral("kimatuZan"), DbEdit::Kind::Amount, QStringLiteral("(ﾇ)未償却残高(期末残)[(ﾛ)-(ﾄ)]"), true);
    c_.memo = yearEdit(QStringLiteral("tekiyou"), DbEdit::Kind::Text, QStringLiteral("適用"));
    c_.memo->setMaxCharacters(20);
    c_.recalc = new QPushButton(QStringLiteral("再計算"), yearBox);
    c_.recalc->setAutoDefault(false);
    year->addWidget(c_.recalc, row, 1, Qt::AlignRight);
    columns->addWidget(yearBox, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(c_.calculator);
    buttons->addStretch(1);
    buttons->addWidget(c_.close);
    outer->addLayout(buttons);

    connect(c_.recalc, &QPushButton::clicked, this, [this] { guarded(this, [&] { RecalcClick(); }); });
    c_.recalc->setEnabled(!dm_.state().readOnly);
    connect(c_.close, &QPushButton::clicked, this, &QDialog::reject);
}

TfKobetu::~TfKobetu()
{
    if (openedMethods_)
        dm_.q21syoukyaku.close();
}

void TfKobetu::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    RecalcDone = false;
}

void TfKobetu::done(int result)
{
    // The year row is stored by "再計算"; figures typed without it are asked about, not
    // dropped without a word.
    if (!mayClose(*this, {&dm_.t04koteiC}, [this] { RecalcClick(); }))
        return;
    guarded(this, [&] {
        Table& y = dm_.t04koteiC;
        const bool editing = y.state() == Dataset::State::Edit || y.state() == Dataset::State::Insert;
        if (!RecalcDone && editing)
            y.cancel();
    });
    QDialog::done(result);
}

void TfKobetu::RecalcClick()
{
    Table& y = dm_.t04koteiC;
    Table& b = dm_.t03koteiB;
    // What is still being typed counts as entered.
    for (DbEdit* edit : {c_.day, c_.base, c_.rate, c_.months, c_.extra, c_.share, c_.memo})
        if (!edit->applyText())
            return;
    if (y.state() == Dataset::State::Browse)
        y.edit();
    YearRowInputs typed;
    typed.base = y.fieldByName(QStringLiteral("zandakaK")).asMoney();
    typed.rate = Rate::fromStoredDouble(y.fieldByName(QStringLiteral("SRate")).asFloat()).value_or(Rate{});
    typed.months = int(y.fieldByName(QStringLiteral("SMonth")).asInteger());
    typed.rentalShare = int(y.fieldByName(QStringLiteral("kashitukeR")).asInteger());
    ItemTerms item;
    item.price = b.fieldByName(QStringLiteral("gaku")).asMoney();
    item.method = b.fieldByName(QStringLiteral("syukyakuH")).asString();
    item.usefulLife = int(b.fieldByName(QStringLiteral("Tnen")).asInteger());
    item.acquired = b.fieldByName(QStringLiteral("dateB")).asDate();
    const YearRowInputs result = recalculatedInputs(typed, item, previousEndBalance_);
    y.fieldByName(QStringLiteral("SMonth")).setInteger(result.months);
    y.fieldByName(QStringLiteral("kashitukeR")).setInteger(result.rentalShare);
    y.fieldByName(QStringLiteral("zandakaK")).setMoney(result.base);
    if (!(result.rate == typed.rate))
        y.fieldByName(QStringLiteral("SRate")).setFloat(result.rate.toText().toDouble());
    RecalcDone = true;
    y.post();
}

void TfKobetu::HelpClick()
{
    showHelp(this, QStringLiteral("TfKobetu"));
}

} // namespace tolva
