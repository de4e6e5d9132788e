#include "tmaininput.h"

#include "actionguard.h"
#include "codes.h"
#include "csvwriter.h"
#include "database.h"
#include "dbcontrols.h"
#include "help.h"
#include "journallistmodel.h"
#include "journalprint.h"
#include "programstate.h"
#include "prompter.h"
#include "tcalcul.h"
#include "tdm01keiri.h"
#include "tdm02repo.h"
#include "textformat.h"
#include "tfn21biko.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QScopeGuard>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>

namespace tolva {

namespace {

const QString kAccountsOfCategory = QStringLiteral("select * from kamoku where bunrui=:pcode");
// The window's words for an amount that is not a number, wherever it checks one.
const QString kNotANumber = QStringLiteral("入力値が正しくありません");
// The longest memo the books keep; a pasted text beyond it is cut, and the user told.
constexpr int kMemoMaxCharacters = 255;
const QString kSubAccountsOfAccount = QStringLiteral("select * from kamoku02 where bunrui=:pcode");
const QString kCategoriesOfUse = QStringLiteral("select * from kubun where yoto=:pcode");

void reopenWithCode(Query& query, const QString& sql, const QString& code)
{
    query.close();
    query.setSql(sql);
    query.setParam(0, code);
    query.open();
}

// "code name" items of a query's rows.
QStringList itemsOf(Query& query, const QString& codeField, const QString& nameField)
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

void setItems(QComboBox* box, const QStringList& items)
{
    box->blockSignals(true);
    box->clear();
    box->addItems(items);
    box->setCurrentIndex(-1);
    box->blockSignals(false);
}

// The code cut from the chosen item, or nothing when no item is chosen.
std::optional<QString> chosenCode(const QComboBox* box, int length)
{
    if (box->currentIndex() < 0 || box->currentText().isEmpty())
        return std::nullopt;
    return box->currentText().left(length);
}

QLabel* caption(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

} // namespace

TMainInput::TMainInput(Tdm01Keiri& dm, QWidget* owner) : QDialog(owner), dm_(dm)
{
    setObjectName(QStringLiteral("MainInput"));
    setWindowTitle(dm_.state().readOnly ? QStringLiteral("仕訳処理（読み取り専用）") : QStringLiteral("仕訳処理"));
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    // FormCreate: the export's file dialog starts in the data folder (elsewhere when nothing
    // can be saved there).
    exportFolder_ = exportStartFolder(dm_.state().dataFolder, dm_.state().readOnly);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 0);
    layout->setSpacing(6);
    buildMenus(this);
    layout->addWidget(buildEntryPanel());
    layout->addWidget(buildFilterPanel());

    c_.list = new QTableView(this);
    c_.list->setObjectName(QStringLiteral("DBGrid1"));
    listModel_ = new JournalListModel(this);
    listModel_->setColumns(journallist::listColumns());
    c_.list->setModel(listModel_);
    c_.list->setSelectionBehavior(QAbstractItemView::SelectRows);
    c_.list->setSelectionMode(QAbstractItemView::SingleSelection);
    c_.list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    c_.list->verticalHeader()->hide();
    c_.list->verticalHeader()->setDefaultSectionSize(c_.list->fontMetrics().height() + 6);
    c_.list->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    c_.list->horizontalHeader()->setStretchLastSection(true);
    // Entry numbers and amounts are never cut: their columns hold the largest of each
    // (a seven-digit number, a twelve-digit amount with its sign and separators).
    const QFontMetrics metrics = c_.list->fontMetrics();
    const int numberWidth = metrics.horizontalAdvance(QStringLiteral("9999999")) + 14;
    const int amountWidth = metrics.horizontalAdvance(QStringLiteral("-999,999,999,999")) + 14;
    const int widths[] = {numberWidth, 88, 120, 100, amountWidth, 120, 100, amountWidth, 90, 160};
    for (int i = 0; i < 10; ++i)
        c_.list->setColumnWidth(i, widths[i]);
    connect(c_.list, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { guarded(this, [&] { DBGrid1DblClick(index.row()); }); });
    layout->addWidget(c_.list, 1);

    c_.statusBar = new QStatusBar(this);
    c_.statusBar->setSizeGripEnabled(false);
    totals_ = new QLabel(c_.statusBar);
    c_.statusBar->addWidget(totals_, 1);
    layout->addWidget(c_.statusBar);

    // Every change of the current journal row, of one of its fields, or the opening of the
    // table runs the row-change handling.
    connect(&dm_.t01keiri, &Dataset::dataChanged, this, [this](int) { dsT01keiriDataChange(); });

    // Enter belongs to the boxes (it moves on from the amounts) and must never press a
    // button of the window by being its default.
    for (QPushButton* button : findChildren<QPushButton*>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    resize(1040, 720);
}

TMainInput::~TMainInput()
{
    closeDatasets();
}

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
    c_.calendar = new QDateEdit(panel);
    c_.calendar->setObjectName(QStringLiteral("DateTimePicker1"));
    c_.calendar->setCalendarPopup(true);
    c_.calendar->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
    c_.calendar->setMinimumWidth(c_.calendar->fontMetrics().horizontalAdvance(QStringLiteral("0000/00/00")) + 44);
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
    c_.periodFrom = new QDateEdit(panel);
    c_.periodTo = new QDateEdit(panel);
    for (QDateEdit* d : {c_.periodFrom, c_.periodTo}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
        d->setMinimumWidth(d->fontMetrics().horizontalAdvance(QStringLiteral("0000/00/00")) + 44);
    }
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

namespace {

// The name of a chosen item: its text after the code and the blank.
QString chosenName(const QComboBox* box)
{
    if (box->currentIndex() < 0)
        return {};
    const QString text = box->currentText();
    const qsizetype blank = text.indexOf(u' ');
    return (blank < 0 ? QString() : text.mid(blank + 1)).trimmed();
}

} // namespace

JournalExportNames TMainInput::chosenNames(bool subAccounts) const
{
    auto side = [subAccounts](const Controls::Side& s) {
        if (subAccounts && s.accountTicked->isChecked() && s.subAccountTicked->isChecked())
            return chosenName(s.subAccount);
        return s.accountTicked->isChecked() ? chosenName(s.account) : chosenName(s.category);
    };
    return {side(c_.debit), side(c_.credit), chosenName(c_.filterUseCategory), chosenName(c_.filterMode)};
}

void TMainInput::CSV1Click()
{
    const JournalFilter f = filter();
    const JournalListSql statement = journallist::exported(f);
    if (!statement.ok()) {
        prompter().information(this, statement.problem);
        return;
    }
    // The list shows what is written, also when the file is not.
    showList(statement);
    const std::optional<QString> path = prompter().saveFileName(this, QStringLiteral("名前を付けて保存"), exportFolder_,
                                                                QStringLiteral("仕訳帳.csv"), QStringLiteral("csv (*.csv)"));
    if (!path)
        return;

    // A long export shows how far it got and can be stopped; a short one shows nothing.
    QProgressDialog progress(QStringLiteral("仕訳帳を出力しています…"), QStringLiteral("中止"), 0, 0, this);
    progress.setWindowTitle(QStringLiteral("CSV出力"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    journalexport::Outcome outcome;
    try {
        outcome = journalexport::write(dm_.q05shiwakeView, f, chosenNames(false), *path, [&](qint64 rows) {
            progress.setLabelText(QStringLiteral("仕訳帳を出力しています…（%L1 行）").arg(rows));
            progress.setValue(0);
            QCoreApplication::processEvents();
            return !progress.wasCanceled();
        });
    } catch (const journalexport::ExportCancelled&) {
        progress.close();
        prompter().information(this, QStringLiteral("出力を中止しました。ファイル「%1」は書き込まれていません。").arg(*path));
        return;
    }
    progress.close();
    if (!outcome.written.lossless())
        prompter().information(this, csv::replacementNotice(*path, outcome.lineNumbers, outcome.notes));
}

void TMainInput::N3Click()
{
    const JournalFilter f = filter();
    if (!f.period) {
        prompter().information(this, QStringLiteral("出力対象期間条件を指定してください。"));
        return;
    }
    const JournalListSql statement = journallist::journalBook(f.from, f.to);
    showList(statement);
    journalprint::writeJournalBookHeader(*dm_.q05shiwakeView.database(), journalexport::periodText(f), QDate::currentDate());
    runJournalReport(statement, journalprint::kJournalBook, true);
}

void TMainInput::N4Click()
{
    PrintJournalSelection(journalprint::kSelection);
}

void TMainInput::N8Click()
{
    PrintJournalSelection(journalprint::kDetailed);
}

void TMainInput::PrintJournalSelection(const QString& report)
{
    const JournalFilter f = filter();
    const JournalListSql statement = journallist::printedSelection(f);
    if (!statement.ok()) {
        prompter().information(this, statement.problem);
        return;
    }
    showList(statement);
    journalprint::writeSelectionHeader(*dm_.q05shiwakeView.database(), journalexport::periodText(f),
                                       journalprint::conditionText(f, chosenNames(true)), QDate::currentDate());
    runJournalReport(statement, report, false);
}

void TMainInput::runJournalReport(const JournalListSql& statement, const QString& report, bool evenWhenEmpty)
{
    Query& header = dm_.q23Jyouken;
    header.close();
    header.open();
    auto closeHeader = qScopeGuard([&] { header.close(); });
    Query& list = dm_.q05shiwakeView;
    journallist::open(list, statement);
    auto closeList = qScopeGuard([&] { list.close(); });
    // An empty selection prints nothing and says nothing; the journal book prints its period
    // even without a row.
    if (list.isEmpty() && !evenWhenEmpty)
        return;
    Tdm02Repo reports(dm_);
    reports.RvProject1Create(list.databaseName());
    reports.RunReport(report, this);
}

void TMainInput::SpeedButton3Click()
{
    Tfn21biko phrases(dm_, this);
    phrases.exec();
}

void TMainInput::N6Click()
{
    showCalculator(this);
}

void TMainInput::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    guarded(this, [&] { FormShow(); });
}

void TMainInput::FormShow()
{
    dm_.state().entryMode = code(ProcessingMode::Ordinary);
    c_.calendar->setDate(QDate::currentDate());
    // A list that was never given a text starts as the whole journal; the row-change
    // handling that opening the journal table runs gives it its real text.
    if (dm_.q05shiwakeView.sql().trimmed().isEmpty())
        dm_.q05shiwakeView.setSql(journallist::everything().sql);
    // Another window (the closing) may have left the journal table open: the panel still
    // starts on its first row, and that move runs the row-change handling.
    if (dm_.t01keiri.isActive())
        dm_.t01keiri.first();
    dm_.t01keiri.open();
    dm_.q03bunruiL.open();
    dm_.q04bunruiR.open();
    dm_.q06kubun.open();
    dm_.q17SyoriK.open();
    fillFilterLists();
}

void TMainInput::fillFilterLists()
{
    setItems(c_.debit.category, itemsOf(dm_.q03bunruiL, QStringLiteral("code"), QStringLiteral("Name")));
    setItems(c_.credit.category, itemsOf(dm_.q04bunruiR, QStringLiteral("code"), QStringLiteral("Name")));
    if (dm_.q26temp.isActive())
        setItems(c_.filterUse, itemsOf(dm_.q26temp, QStringLiteral("code"), QStringLiteral("Name")));
    setItems(c_.filterMode, itemsOf(dm_.q17SyoriK, QStringLiteral("code"), QStringLiteral("Name")));
    setItems(c_.filterUseCategory, itemsOf(dm_.q06kubun, QStringLiteral("code"), QStringLiteral("Name")));
}

void TMainInput::dsT01keiriDataChange()
{
    Table& t = dm_.t01keiri;
    if (!t.isActive() || closed_ || handlingRowChange_)
        return;
    handlingRowChange_ = true;
    guarded(this, [&] {
        if (!t.isEmpty() && t.state() != Dataset::State::Insert) {
            const auto code = [&](const char* field) { return t.fieldByName(QString::fromLatin1(field)).asString(); };
            if (!code("Lbunrui").isEmpty())
                reopenWithCode(dm_.q01kamokuL, kAccountsOfCategory, code("Lbunrui"));
            if (!code("Rbunrui").isEmpty())
                reopenWithCode(dm_.q02kamokuR, kAccountsOfCategory, code("Rbunrui"));
            if (!code("Lcode").isEmpty())
                reopenWithCode(dm_.q16temp1, kSubAccountsOfAccount, code("Lcode"));
            if (!code("Rcode").isEmpty())
                reopenWithCode(dm_.q25kamoku2, kSubAccountsOfAccount, code("Rcode"));
            if (!code("yoto").isEmpty())
                reopenWithCode(dm_.q06kubun, kCategoriesOfUse, code("yoto"));
        }
        bool isNumber = false;
        const qint64 number = t.isEmpty() || t.state() == Dataset::State::Insert
                                  ? 0
                                  : t.fieldByName(QStringLiteral("id")).asString().toLongLong(&isNumber);
        if (isNumber && number > 0)
            RefreshJournalList();
    });
    handlingRowChange_ = false;
}

JournalFilter TMainInput::filter() const
{
    JournalFilter f;
    f.period = c_.period->isChecked();
    f.from = c_.periodFrom->date();
    f.to = c_.singleDay->isChecked() ? c_.periodFrom->date() : c_.periodTo->date();
    auto side = [](const Controls::Side& s) {
        JournalFilter::Side result;
        result.ticked = s.ticked->isChecked();
        result.category = chosenCode(s.category, 2);
        result.accountTicked = result.ticked && s.accountTicked->isChecked();
        result.account = chosenCode(s.account, 4);
        result.subAccountTicked = result.accountTicked && s.subAccountTicked->isChecked();
        result.subAccount = chosenCode(s.subAccount, 6);
        return result;
    };
    f.debit = side(c_.debit);
    f.credit = side(c_.credit);
    f.useCategory = c_.useCategoryTicked->isChecked();
    f.useCategoryCode = chosenCode(c_.filterUseCategory, 4);
    f.mode = c_.modeTicked->isChecked();
    if (const auto mode = chosenCode(c_.filterMode, 2)) {
        bool ok = false;
        const int value = mode->trimmed().toInt(&ok);
        if (ok)
            f.modeCode = value;
    }
    return f;
}

void TMainInput::showList(const JournalListSql& statement)
{
    // The shared list query carries the statement for the exports and reports, which open it
    // when they read it; the grid reads through its own model, a window at a time.
    journallist::prepare(dm_.q05shiwakeView, statement);
    listModel_->show(dm_.q05shiwakeView.databaseName(), statement);
}

void TMainInput::RefreshJournalList()
{
    const JournalListSql statement = journallist::refreshed(filter());
    if (!statement.ok()) {
        prompter().information(this, statement.problem);
        return;
    }
    showList(statement);
    const qint64 number = c_.id->text().toLongLong();
    const std::optional<int> row = listModel_->rowOfId(number);
    if (!statement.hasConditions) {
        totals_->clear();
    } else {
        showTotals(listModel_->totals());
    }
    selectListRow(row.value_or(0));
}

void TMainInput::SpeedButton1Click()
{
    const JournalListSql statement = journallist::narrowed(filter());
    if (!statement.ok()) {
        prompter().information(this, statement.problem);
        return;
    }
    showList(statement);
    showTotals(listModel_->totals());
    selectListRow(0);
}

void TMainInput::SpeedButton2Click()
{
    showList(journallist::everything());
    totals_->clear();
    for (QCheckBox* box : {c_.period, c_.debit.ticked, c_.credit.ticked, c_.useCategoryTicked, c_.debit.accountTicked,
                           c_.credit.accountTicked, c_.modeTicked})
        box->setChecked(false);
    selectListRow(0);
}

void TMainInput::mnCheckClick()
{
    const JournalListSql statement = journallist::unbalanced();
    showList(statement);
    if (listModel_->rowCount() == 0) {
        prompter().information(this, QStringLiteral("貸借の金額はすべて一致しています。"));
        return;
    }
    showTotals(listModel_->totals());
    selectListRow(0);
    prompter().information(this, QStringLiteral("貸借の金額が一致しないデータがあります。確認してください。"));
}

void TMainInput::SpeedButton4Click()
{
    Table& t = dm_.t01keiri;
    if (t.isEmpty()) {
        prompter().information(this, QStringLiteral("該当データが登録されていません。"));
        return;
    }
    if (!prompter().confirm(this, QStringLiteral("現在のデータをコピーして同一データを追加します。\n実行しますか？。")))
        return;
    // A row being edited is posted first, so the copy is of what the user sees; the two
    // writes are one, so that nothing can keep the edit without its copy.
    const Dataset::State before = t.state();
    QVector<QVariant> values;
    try {
        Transaction transaction(*t.database());
        t.checkBrowseMode();
        for (int i = 0; i < t.storedFieldCount(); ++i)
            values << t.field(i).value();
        t.append();
        for (int i = 0; i < t.storedFieldCount(); ++i) {
            if (t.field(i).type() != FieldType::AutoInc)
                t.field(i).setValue(values[i]);
        }
        t.post();
        transaction.commit();
    } catch (...) {
        putBackAfterFailedCopy(before, values);
        throw;
    }
    t.refresh();
}

void TMainInput::putBackAfterFailedCopy(Dataset::State before, const QVector<QVariant>& typed)
{
    // The books are as they were before the copy. The row the user was typing goes back into
    // the boxes, on the row it belongs to, still to be posted, instead of being lost with the
    // rolled-back write.
    Table& t = dm_.t01keiri;
    // The edit itself was refused: it is still in the boxes as it was typed.
    if (typed.isEmpty())
        return;
    // The copy may have failed after its row was posted, leaving the table on a row that the
    // rollback took away: nothing it shows can be trusted until it is read again.
    if (t.state() != Dataset::State::Browse)
        t.cancel();
    t.refresh();
    if (before == Dataset::State::Browse)
        return;
    if (before == Dataset::State::Insert) {
        t.append();
    } else {
        const int id = t.fieldIndex(QStringLiteral("id"));
        if (id < 0 || !t.locate(QStringLiteral("id"), typed[id]))
            return;
        t.edit();
    }
    for (int i = 0; i < t.storedFieldCount(); ++i) {
        if (t.field(i).type() != FieldType::AutoInc)
            t.field(i).setValue(typed[i]);
    }
}

void TMainInput::DBGrid1DblClick(int row)
{
    if (row < 0 || row >= listModel_->rowCount())
        return;
    dm_.t01keiri.locate(QStringLiteral("id"), listModel_->idAt(row));
}

void TMainInput::DateTimePicker1Exit()
{
    Table& t = dm_.t01keiri;
    if (!t.isActive() || t.booksReadOnly())
        return;
    if (t.state() == Dataset::State::Browse)
        t.edit();
    c_.day->setTypedText(textformat::shortDate(c_.calendar->date()));
}

void TMainInput::copyAmount(DbEdit* from, const QString& toField)
{
    // Nothing is copied into a row of books that can only be read.
    if (dm_.t01keiri.booksReadOnly())
        return;
    // The other box's text was refused as the focus left it, and the user was told: saying
    // it again here would be the same message twice.
    if (from->holdsRefusedText())
        return;
    // The other box shows its amount as currency text; the separators and sign go.
    QString text = from->text();
    for (const QString& mark : {QStringLiteral(","), QStringLiteral("\\"), QStringLiteral("￥"), QStringLiteral("¥")})
        text.remove(mark);
    if (text.trimmed().isEmpty())
        return;
    const textformat::AmountEntry entry = textformat::parseAmountEntry(text);
    if (entry.error == textformat::AmountEntryError::NotANumber) {
        prompter().information(this, kNotANumber);
        return;
    }
    if (!entry.amount) {
        prompter().information(this, textformat::amountEntryProblem(entry.error));
        return;
    }
    const auto amount = entry.amount;
    Table& t = dm_.t01keiri;
    if (t.state() == Dataset::State::Browse)
        t.edit();
    t.fieldByName(toField).setMoney(*amount);
}

void TMainInput::DBEdit3Enter()
{
    copyAmount(c_.creditAmount, QStringLiteral("Lgaku"));
}

void TMainInput::DBEdit4Enter()
{
    copyAmount(c_.debitAmount, QStringLiteral("Rgaku"));
}

void TMainInput::keyPressEvent(QKeyEvent* event)
{
    // Escape would close the window and discard a row being typed; the window closes only
    // by its close button, its menu or the title bar.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TMainInput::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == c_.debitAmount || watched == c_.creditAmount) {
        // The copy belongs to the user moving into the box (Tab, a click, a shortcut), never to
        // the focus coming back from a menu, a message or another application: that would
        // overwrite what the user typed, and a refused copy would show its message again at
        // every return.
        const auto userMovedIn = [](QEvent* e) {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(e)->reason();
            return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::MouseFocusReason
                   || reason == Qt::ShortcutFocusReason;
        };
        if (event->type() == QEvent::FocusIn && userMovedIn(event)) {
            guarded(this, [&] {
                if (watched == c_.debitAmount)
                    DBEdit3Enter();
                else
                    DBEdit4Enter();
            });
        } else if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                if (watched == c_.debitAmount)
                    c_.creditCategory->setFocus();
                else
                    c_.memo->setFocus();
                return true;
            }
        }
    } else if (watched == c_.calendar && event->type() == QEvent::FocusOut) {
        guarded(this, [&] { DateTimePicker1Exit(); });
    }
    return QDialog::eventFilter(watched, event);
}

void TMainInput::showTotals(const journallist::Totals& totals)
{
    totals_->setText(journallist::totalsText(totals));
}

QString TMainInput::statusText() const
{
    return totals_->text();
}

void TMainInput::selectListRow(int row)
{
    if (row < 0 || row >= listModel_->rowCount())
        return;
    c_.list->selectRow(row);
    c_.list->scrollTo(listModel_->index(row, 0), QAbstractItemView::PositionAtCenter);
}

void TMainInput::closeDatasets()
{
    if (closed_)
        return;
    closed_ = true;
    // A row still being edited is discarded, as closing the journal table does.
    listModel_->clear();
    for (Dataset* ds : std::initializer_list<Dataset*>{&dm_.t01keiri, &dm_.q01kamokuL, &dm_.q02kamokuR, &dm_.q03bunruiL,
                                                      &dm_.q04bunruiR, &dm_.q05shiwakeView, &dm_.q06kubun, &dm_.q17SyoriK})
        ds->close();
}

void TMainInput::done(int result)
{
    closeDatasets();
    QDialog::done(result);
}

void TMainInput::closeEvent(QCloseEvent* event)
{
    closeDatasets();
    QDialog::closeEvent(event);
}

} // namespace tolva
