// The journal window's controls and their layout: the entry panel, the filter panel, the menus.
#include "journal/journalwindowlists.h"
#include "journal/tmaininput.h"

#include "db/codes.h"
#include "db/tdm01keiri.h"
#include "ui/actionguard.h"
#include "ui/datepicker.h"
#include "ui/dbcontrols.h"
#include "ui/help.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

namespace tolva {

namespace {
TMainInput::WindowFactory& openingBalancesFactory()
{
    static TMainInput::WindowFactory factory;
    return factory;
}
} // namespace

void TMainInput::registerOpeningBalances(WindowFactory factory)
{
    openingBalancesFactory() = std::move(factory);
}

using namespace journalwindow;

namespace {

// The longest memo the books keep; a pasted text beyond it is cut, and the user told.
constexpr int kMemoMaxCharacters = 255;

QLabel* caption(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

} // namespace

QWidget* TMainInput::buildEntryPanel()
{
    Table& t = dm_.t01keiri;
    auto* panel = new QGroupBox(this);
    auto* grid = new QGridLayout(panel);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);

    c_.id = new DbEdit(t, QStringLiteral("id"), DbEdit::Kind::Text, panel);
    c_.id->setReadOnly(true);
    c_.id->setFocusPolicy(Qt::NoFocus);
    c_.id->setMaximumWidth(90);
    c_.id->setCaption(QStringLiteral("NO."));
    c_.day = new DbEdit(t, QStringLiteral("sDay"), DbEdit::Kind::Date, panel);
    c_.day->setCaption(QStringLiteral("年月日"));
    c_.day->setMaximumWidth(110);
    c_.calendar = new DatePicker(panel);
    c_.calendar->setObjectName(QStringLiteral("DateTimePicker1"));
    c_.calendar->setToolTip(QStringLiteral("カレンダーで選んだ日付を年月日に入れます"));
    c_.calendar->installEventFilter(this);
    c_.mode = new DbLookupCombo(t, QStringLiteral("syori"), dm_.q17SyoriK, QStringLiteral("code"), QStringLiteral("Name"), panel);
    c_.mode->setMinimumContentsLength(8);

    auto makeSide = [&](int row, const QString& side, DbLookupCombo*& category, DbLookupCombo*& account,
                        DbLookupCombo*& sub, DbEdit*& amount, Query& categories, Query& accounts, Query& subs,
                        const QString& prefix) {
        auto* sideLabel = new QLabel(side, panel);
        QFont bold = sideLabel->font();
        bold.setBold(true);
        sideLabel->setFont(bold);
        grid->addWidget(sideLabel, row, 0);
        category = new DbLookupCombo(t, prefix + QStringLiteral("bunrui"), categories, QStringLiteral("code"), QStringLiteral("Name"), panel);
        account = new DbLookupCombo(t, prefix + QStringLiteral("code"), accounts, QStringLiteral("code"), QStringLiteral("kamoku"), panel);
        sub = new DbLookupCombo(t, prefix + QStringLiteral("Scode"), subs, QStringLiteral("code"), QStringLiteral("kamoku"), panel);
        amount = new DbEdit(t, prefix + QStringLiteral("gaku"), DbEdit::Kind::Amount, panel);
        amount->setCaption(side + QStringLiteral("金額"));
        amount->setNotANumberMessage(kNotANumber);
        category->setMinimumContentsLength(8);
        account->setMinimumContentsLength(10);
        sub->setMinimumContentsLength(10);
        // The largest amount, with its sign and separators, fits whole.
        amount->setMinimumWidth(amount->fontMetrics().horizontalAdvance(QStringLiteral("-￥999,999,999,999")) + 16);
        amount->installEventFilter(this);
        grid->addWidget(caption(QStringLiteral("区分"), panel), row, 1);
        grid->addWidget(category, row, 2);
        grid->addWidget(caption(QStringLiteral("科目"), panel), row, 3);
        grid->addWidget(account, row, 4);
        grid->addWidget(caption(QStringLiteral("*細目"), panel), row, 5);
        grid->addWidget(sub, row, 6);
        grid->addWidget(caption(QStringLiteral("金額"), panel), row, 7);
        grid->addWidget(amount, row, 8);
    };

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("NO."), panel));
    top->addWidget(c_.id);
    top->addSpacing(12);
    top->addWidget(new QLabel(QStringLiteral("年月日"), panel));
    top->addWidget(c_.day);
    top->addWidget(c_.calendar);
    top->addSpacing(12);
    top->addWidget(new QLabel(QStringLiteral("処理ﾓｰﾄﾞ"), panel));
    top->addWidget(c_.mode);
    top->addStretch(1);
    grid->addLayout(top, 0, 0, 1, 9);

    makeSide(1, QStringLiteral("借方"), c_.debitCategory, c_.debitAccount, c_.debitSubAccount, c_.debitAmount, dm_.q03bunruiL,
             dm_.q01kamokuL, dm_.q16temp1, QStringLiteral("L"));
    makeSide(2, QStringLiteral("貸方"), c_.creditCategory, c_.creditAccount, c_.creditSubAccount, c_.creditAmount,
             dm_.q04bunruiR, dm_.q02kamokuR, dm_.q25kamoku2, QStringLiteral("R"));

    c_.use = new DbLookupCombo(t, QStringLiteral("yoto"), dm_.q26temp, QStringLiteral("code"), QStringLiteral("Name"), panel);
    c_.useCategory = new DbLookupCombo(t, QStringLiteral("kubun"), dm_.q06kubun, QStringLiteral("code"), QStringLiteral("Name"), panel);
    c_.memo = new DbEdit(t, QStringLiteral("Memo"), DbEdit::Kind::Text, panel);
    c_.memo->setCaption(QStringLiteral("備考"));
    c_.memo->setMaxCharacters(kMemoMaxCharacters);
    c_.memoButton = new QPushButton(QStringLiteral("…"), panel);
    c_.memoButton->setToolTip(QStringLiteral("備考入力支援"));
    c_.memoButton->setMaximumWidth(32);
    c_.memoButton->setAutoDefault(false);
    connect(c_.memoButton, &QPushButton::clicked, this, [this] { guarded(this, [&] { SpeedButton3Click(); }); });
    auto* useLabel = new QLabel(QStringLiteral("*区分"), panel);
    QFont bold = useLabel->font();
    bold.setBold(true);
    useLabel->setFont(bold);
    grid->addWidget(useLabel, 3, 0);
    grid->addWidget(caption(QStringLiteral("用途："), panel), 3, 1);
    grid->addWidget(c_.use, 3, 2);
    grid->addWidget(caption(QStringLiteral("区分："), panel), 3, 3);
    grid->addWidget(c_.useCategory, 3, 4);
    grid->addWidget(caption(QStringLiteral("*備考"), panel), 3, 5);
    auto* memoRow = new QHBoxLayout;
    memoRow->addWidget(c_.memo, 1);
    memoRow->addWidget(c_.memoButton);
    grid->addLayout(memoRow, 3, 6, 1, 3);
    for (DbLookupCombo* box : {c_.debitCategory, c_.debitAccount, c_.debitSubAccount, c_.creditCategory, c_.creditAccount,
                               c_.creditSubAccount, c_.useCategory})
        box->setMaxVisibleItems(20);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(new QLabel(QStringLiteral("*は任意項目"), panel));
    bottom->addSpacing(16);
    auto* navigatorBox = new QVBoxLayout;
    navigatorBox->setSpacing(0);
    auto* navigatorCaption = new QLabel(QStringLiteral("先頭   前     後    最後 追加 削除 編集 保存 取消 再読込"), panel);
    QFont small = navigatorCaption->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    navigatorCaption->setFont(small);
    c_.navigator = new DbNavigator(t, panel);
    c_.navigator->setObjectName(QStringLiteral("DBNavigator1"));
    navigatorBox->addWidget(navigatorCaption);
    navigatorBox->addWidget(c_.navigator);
    bottom->addLayout(navigatorBox);
    bottom->addSpacing(16);
    auto* copyBox = new QVBoxLayout;
    copyBox->setSpacing(0);
    auto* copyCaption = new QLabel(QStringLiteral("ｺﾋﾟｰ追加"), panel);
    copyCaption->setFont(small);
    c_.copy = new QPushButton(QStringLiteral("複製"), panel);
    c_.copy->setObjectName(QStringLiteral("SpeedButton4"));
    copyBox->addWidget(copyCaption);
    copyBox->addWidget(c_.copy);
    bottom->addLayout(copyBox);
    bottom->addStretch(1);
    auto* close = new QPushButton(QStringLiteral("閉じる"), panel);
    close->setObjectName(QStringLiteral("BitBtn1"));
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    bottom->addWidget(close, 0, Qt::AlignBottom);
    grid->addLayout(bottom, 4, 0, 1, 9);
    grid->setColumnStretch(4, 1);
    grid->setColumnStretch(6, 1);

    connect(c_.copy, &QPushButton::clicked, this, [this] { guarded(this, [&] { SpeedButton4Click(); }); });

    // Books that can only be read: the bound boxes and the navigator offer no change by
    // themselves; what else would put a row into editing is off too.
    if (dm_.state().readOnly) {
        for (QWidget* control : std::initializer_list<QWidget*>{c_.calendar, c_.memoButton, c_.copy})
            control->setEnabled(false);
    }

    // The cascading lists: choosing narrows the next list of the same side.
    connect(c_.debitCategory, &DbLookupCombo::closeUp, this,
            [this](const QVariant& key) { reopenWithCode(dm_.q01kamokuL, kAccountsOfCategory, key.toString()); });
    connect(c_.creditCategory, &DbLookupCombo::closeUp, this,
            [this](const QVariant& key) { reopenWithCode(dm_.q02kamokuR, kAccountsOfCategory, key.toString()); });
    connect(c_.debitAccount, &DbLookupCombo::closeUp, this, [this](const QVariant& key) {
        reopenWithCode(dm_.q16temp1, kSubAccountsOfAccount + QStringLiteral(" order by code"), key.toString());
    });
    connect(c_.creditAccount, &DbLookupCombo::closeUp, this, [this](const QVariant& key) {
        reopenWithCode(dm_.q25kamoku2, kSubAccountsOfAccount + QStringLiteral(" order by code"), key.toString());
    });
    connect(c_.use, &DbLookupCombo::closeUp, this,
            [this](const QVariant& key) { reopenWithCode(dm_.q06kubun, kCategoriesOfUse, key.toString()); });
    return panel;
}

QWidget* TMainInput::buildFilterPanel()
{
    auto* panel = new QGroupBox(QStringLiteral("絞込み条件"), this);
    auto* row = new QHBoxLayout(panel);
    row->setSpacing(10);

    auto* periodBox = new QVBoxLayout;
    c_.period = new QCheckBox(QStringLiteral("期間"), panel);
    c_.periodFrom = new DatePicker(panel);
    c_.periodTo = new DatePicker(panel);
    c_.periodTilde = new QLabel(QStringLiteral("～"), panel);
    c_.singleDay = new QCheckBox(QStringLiteral("期日"), panel);
    periodBox->addWidget(c_.period);
    periodBox->addWidget(c_.periodFrom);
    periodBox->addWidget(c_.periodTilde, 0, Qt::AlignHCenter);
    periodBox->addWidget(c_.periodTo);
    periodBox->addWidget(c_.singleDay);
    periodBox->addStretch(1);
    row->addLayout(periodBox);

    auto makeSide = [&](Controls::Side& side, const QString& title) {
        auto* box = new QGridLayout;
        box->setVerticalSpacing(2);
        side.ticked = new QCheckBox(title, panel);
        side.category = new QComboBox(panel);
        side.accountTicked = new QCheckBox(QStringLiteral("科目"), panel);
        side.account = new QComboBox(panel);
        side.subAccountTicked = new QCheckBox(QStringLiteral("細目"), panel);
        side.subAccount = new QComboBox(panel);
        for (QComboBox* b : {side.category, side.account, side.subAccount}) {
            b->setMaxVisibleItems(20);
            b->setMinimumContentsLength(12);
            b->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        }
        box->addWidget(side.ticked, 0, 0, 1, 2);
        box->addWidget(new QLabel(QStringLiteral("分類"), panel), 1, 0);
        box->addWidget(side.category, 1, 1);
        box->addWidget(side.accountTicked, 2, 0);
        box->addWidget(side.account, 2, 1);
        box->addWidget(side.subAccountTicked, 3, 0);
        box->addWidget(side.subAccount, 3, 1);
        box->setRowStretch(4, 1);
        // The caption "分類" goes and comes with its list.
        side.category->setProperty("caption", QVariant::fromValue<QObject*>(box->itemAtPosition(1, 0)->widget()));
        row->addLayout(box);
    };
    makeSide(c_.debit, QStringLiteral("借方"));
    makeSide(c_.credit, QStringLiteral("貸方"));

    auto* otherBox = new QVBoxLayout;
    c_.useCategoryTicked = new QCheckBox(QStringLiteral("区分"), panel);
    c_.modeTicked = new QCheckBox(QStringLiteral("処理ﾓｰﾄﾞ"), panel);
    c_.usePanel = new QWidget(panel);
    auto* useGrid = new QGridLayout(c_.usePanel);
    useGrid->setContentsMargins(0, 0, 0, 0);
    useGrid->setVerticalSpacing(2);
    c_.filterUse = new QComboBox(c_.usePanel);
    c_.filterUseCategory = new QComboBox(c_.usePanel);
    c_.filterMode = new QComboBox(c_.usePanel);
    for (QComboBox* b : {c_.filterUse, c_.filterUseCategory, c_.filterMode}) {
        b->setMaxVisibleItems(20);
        b->setMinimumContentsLength(10);
        b->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    }
    useGrid->addWidget(new QLabel(QStringLiteral("用途"), c_.usePanel), 0, 0);
    useGrid->addWidget(c_.filterUse, 0, 1);
    useGrid->addWidget(new QLabel(QStringLiteral("区分"), c_.usePanel), 1, 0);
    useGrid->addWidget(c_.filterUseCategory, 1, 1);
    useGrid->addWidget(new QLabel(QStringLiteral("処理"), c_.usePanel), 2, 0);
    useGrid->addWidget(c_.filterMode, 2, 1);
    auto* ticks = new QHBoxLayout;
    ticks->addWidget(c_.useCategoryTicked);
    ticks->addWidget(c_.modeTicked);
    ticks->addStretch(1);
    otherBox->addLayout(ticks);
    otherBox->addWidget(c_.usePanel);
    otherBox->addStretch(1);
    row->addLayout(otherBox);

    row->addStretch(1);
    auto* buttons = new QVBoxLayout;
    c_.narrow = new QPushButton(QStringLiteral("絞込実行"), panel);
    c_.narrow->setObjectName(QStringLiteral("SpeedButton1"));
    c_.narrow->setToolTip(QStringLiteral("条件に該当するもののみをﾘｽﾄ表示します。"));
    c_.showAll = new QPushButton(QStringLiteral("全件表示"), panel);
    c_.showAll->setObjectName(QStringLiteral("SpeedButton2"));
    c_.showAll->setToolTip(QStringLiteral("全対象をﾘｽﾄ表示します。"));
    buttons->addWidget(c_.narrow);
    buttons->addWidget(c_.showAll);
    buttons->addStretch(1);
    row->addLayout(buttons);
    connect(c_.narrow, &QPushButton::clicked, this, [this] { guarded(this, [&] { SpeedButton1Click(); }); });
    connect(c_.showAll, &QPushButton::clicked, this, [this] { guarded(this, [&] { SpeedButton2Click(); }); });

    wireFilterPanel();
    return panel;
}

void TMainInput::wireFilterPanel()
{
    auto setSideVisible = [](Controls::Side& side) {
        const bool on = side.ticked->isChecked();
        side.category->setVisible(on);
        if (auto* label = qobject_cast<QWidget*>(side.category->property("caption").value<QObject*>()))
            label->setVisible(on);
        side.accountTicked->setVisible(on);
        const bool account = on && side.accountTicked->isChecked();
        side.account->setVisible(account);
        side.subAccountTicked->setVisible(account);
        side.subAccount->setVisible(account && side.subAccountTicked->isChecked());
    };
    auto updatePeriod = [this] {
        const bool on = c_.period->isChecked();
        const bool single = on && c_.singleDay->isChecked();
        c_.periodFrom->setVisible(on);
        c_.singleDay->setVisible(on);
        c_.periodTo->setVisible(on && !single);
        c_.periodTilde->setVisible(on && !single);
    };
    connect(c_.period, &QCheckBox::toggled, this, [this, updatePeriod](bool on) {
        if (on) {
            c_.periodFrom->setDate(dm_.state().periodStart);
            c_.periodTo->setDate(dm_.state().periodEnd);
            c_.singleDay->setChecked(false);
        } else {
            c_.singleDay->setChecked(false);
        }
        updatePeriod();
    });
    connect(c_.singleDay, &QCheckBox::toggled, this, [this, updatePeriod](bool on) {
        if (on)
            c_.periodTo->setDate(c_.periodFrom->date());
        updatePeriod();
    });
    connect(c_.periodFrom, &QDateEdit::dateChanged, this, [this](const QDate& date) {
        if (c_.singleDay->isChecked())
            c_.periodTo->setDate(date);
    });
    for (Controls::Side* side : {&c_.debit, &c_.credit}) {
        connect(side->ticked, &QCheckBox::toggled, this, [side, setSideVisible](bool on) {
            if (on)
                side->accountTicked->setChecked(false);
            setSideVisible(*side);
        });
        connect(side->accountTicked, &QCheckBox::toggled, this, [side, setSideVisible](bool on) {
            if (on)
                side->subAccountTicked->setChecked(false);
            setSideVisible(*side);
        });
        connect(side->subAccountTicked, &QCheckBox::toggled, this, [side, setSideVisible](bool) { setSideVisible(*side); });
        // Choosing a category refills the accounts, choosing an account the sub-accounts.
        connect(side->category, &QComboBox::currentIndexChanged, this, [this, side](int index) {
            if (index < 0)
                return;
            guarded(this, [&] {
                refillFromQuery(side->account, kAccountsOfCategory, side->category->currentText(), 2);
            });
        });
        connect(side->account, &QComboBox::currentIndexChanged, this, [this, side](int index) {
            if (index < 0)
                return;
            guarded(this, [&] {
                refillFromQuery(side->subAccount, kSubAccountsOfAccount, side->account->currentText(), 4);
            });
        });
        setSideVisible(*side);
    }
    auto updateUsePanel = [this] {
        c_.usePanel->setVisible(c_.useCategoryTicked->isChecked() || c_.modeTicked->isChecked());
    };
    connect(c_.useCategoryTicked, &QCheckBox::toggled, this, updateUsePanel);
    connect(c_.modeTicked, &QCheckBox::toggled, this, updateUsePanel);
    connect(c_.filterUse, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index < 0)
            return;
        guarded(this, [&] {
            // The entry panel's category list opens again at the next row change.
            reopenWithCode(dm_.q06kubun, kCategoriesOfUse, c_.filterUse->currentText().left(2));
            setItems(c_.filterUseCategory, itemsOf(dm_.q06kubun, QStringLiteral("code"), QStringLiteral("Name")));
            dm_.q06kubun.close();
        });
    });
    updatePeriod();
    updateUsePanel();
}

void TMainInput::refillFromQuery(QComboBox* box, const QString& sql, const QString& item, int codeLength)
{
    Query& q = dm_.q07kamoku;
    reopenWithCode(q, sql, item.left(codeLength));
    setItems(box, itemsOf(q, QStringLiteral("code"), QStringLiteral("kamoku")));
    q.close();
}

void TMainInput::buildMenus(QWidget* menuHost)
{
    auto* bar = new QMenuBar(menuHost);
    layout()->setMenuBar(bar);
    auto hint = [this](QMenu* menu) {
        connect(menu, &QMenu::hovered, this, [this](QAction* action) {
            if (!action->statusTip().isEmpty())
                c_.statusBar->showMessage(action->statusTip());
            else
                c_.statusBar->clearMessage();
        });
        connect(menu, &QMenu::aboutToHide, this, [this] { c_.statusBar->clearMessage(); });
    };
    auto add = [this](QMenu* menu, const QString& text, const QString& tip, const QKeySequence& keys, auto handler) {
        QAction* action = menu->addAction(text);
        action->setStatusTip(tip);
        if (!keys.isEmpty())
            action->setShortcut(keys);
        connect(action, &QAction::triggered, this, [this, handler] { guarded(this, [&] { handler(); }); });
        return action;
    };

    QMenu* view = bar->addMenu(QStringLiteral("表示(&V)"));
    hint(view);
    add(view, QStringLiteral("絞込(&O)"), QStringLiteral("条件に該当するもののみをﾘｽﾄ表示します。"), QKeySequence(Qt::CTRL | Qt::Key_O),
        [this] { SpeedButton1Click(); });
    add(view, QStringLiteral("全件(&N)"), QStringLiteral("全対象をﾘｽﾄ表示します。"), QKeySequence(Qt::CTRL | Qt::Key_N),
        [this] { SpeedButton2Click(); });
    add(view, QStringLiteral("金額確認"), QStringLiteral("借方、貸方の金額が相違している仕訳を抽出します。"),
        QKeySequence(Qt::CTRL | Qt::Key_K), [this] { mnCheckClick(); });
    add(view, QStringLiteral("期首残高の入力"), QStringLiteral("期首の資産・負債の残高と元入金を入力します。"), {}, [this] {
        if (const WindowFactory& factory = openingBalancesFactory()) {
            std::unique_ptr<QDialog> window = factory(this, dm_);
            window->exec();
            RefreshJournalList();
        }
    })->setEnabled(bool(openingBalancesFactory()));
    view->addSeparator();
    add(view, QStringLiteral("閉じる(&X)"), QStringLiteral("仕訳処理の終了"), {}, [this] { reject(); });

    QMenu* modes = bar->addMenu(QStringLiteral("処理ﾓｰﾄﾞ"));
    modes->setStatusTip(QStringLiteral("追加の場合の処理ﾓｰﾄﾞの切り替え"));
    modes->menuAction()->setStatusTip(QStringLiteral("追加の場合の処理ﾓｰﾄﾞの切り替え"));
    hint(modes);
    for (ProcessingMode mode : {ProcessingMode::BroughtForward, ProcessingMode::Ordinary, ProcessingMode::ClosingAdjustment,
                                ProcessingMode::ClosingTransfer, ProcessingMode::CarriedForward}) {
        add(modes, processingModeName(mode), QStringLiteral("追加の場合の処理ﾓｰﾄﾞの切り替え"), {},
            [this, mode] { dm_.state().entryMode = code(mode); });
    }

    QMenu* print = bar->addMenu(QStringLiteral("印刷"));
    hint(print);
    add(print, QStringLiteral("CSV出力"), QStringLiteral("抽出条件の仕訳をCSVファイルに出力します"), {}, [this] { CSV1Click(); })
        ->setObjectName(QStringLiteral("CSV1"));
    add(print, QStringLiteral("仕訳帳"), QStringLiteral("期間の仕訳帳を印刷します"), {}, [this] { N3Click(); })
        ->setObjectName(QStringLiteral("N3"));
    add(print, QStringLiteral("仕訳（条件）"), QStringLiteral("抽出条件の仕訳を印刷します"), {}, [this] { N4Click(); })
        ->setObjectName(QStringLiteral("N4"));
    add(print, QStringLiteral("仕訳（細目）"), QStringLiteral("抽出条件の仕訳を細目付きで印刷します"), {}, [this] { N8Click(); })
        ->setObjectName(QStringLiteral("N8"));
    QAction* calculator = bar->addAction(QStringLiteral("電卓"));
    calculator->setObjectName(QStringLiteral("N6"));
    connect(calculator, &QAction::triggered, this, [this] { guarded(this, [&] { N6Click(); }); });

    QMenu* help = bar->addMenu(QStringLiteral("ヘルプ(&H)"));
    hint(help);
    add(help, QStringLiteral("サポートサイト"), {}, {}, [this] { showHelp(this, QStringLiteral("TMainInput")); });
}

} // namespace tolva
