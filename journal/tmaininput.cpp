#include "journal/tmaininput.h"

#include "journal/journalwindowlists.h"

#include "aids/tcalcul.h"
#include "aids/tfn21biko.h"
#include "db/codes.h"
#include "db/database.h"
#include "db/history.h"
#include "db/programstate.h"
#include "db/tdm01keiri.h"
#include "db/textformat.h"
#include "journal/journallistmodel.h"
#include "ui/actionguard.h"
#include "ui/closequestion.h"
#include "ui/dbcontrols.h"
#include "ui/gridcells.h"
#include "ui/prompter.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>


namespace tolva {

using namespace journalwindow;

namespace {

// The code cut from the chosen item, or nothing when no item is chosen.
std::optional<QString> chosenCode(const QComboBox* box, int length)
{
    if (box->currentIndex() < 0 || box->currentText().isEmpty())
        return std::nullopt;
    return box->currentText().left(length);
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

    c_.list = new RowListView(this);
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
    // A click (or an arrow key) on a row of the list makes it the panel's row: the row a
    // delete asks about is always the one the list highlights.
    connect(c_.list->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& current) {
        if (selectingListRow_ || !current.isValid())
            return;
        const int row = current.row();
        if (!guarded(this, [&] { moveToListRow(row); }))
            selectPanelRowInList();
    });
    layout->addWidget(c_.list, 1);

    c_.statusBar = new QStatusBar(this);
    c_.statusBar->setSizeGripEnabled(false);
    totals_ = new QLabel(c_.statusBar);
    c_.statusBar->addWidget(totals_, 1);
    layout->addWidget(c_.statusBar);

    // Every change of the current journal row, of one of its fields, or the opening of the
    // table runs the row-change handling.
    connect(&dm_.t01keiri, &Dataset::dataChanged, this, [this](int) {
        showRowDateInCalendar();
        dsT01keiriDataChange();
    });
    // The calendar writes into the row only what the user chose in it, never the date it
    // merely shows as the focus passes through.
    connect(c_.calendar, &QDateEdit::dateChanged, this, [this] { calendarPicked_ = true; });
    connect(c_.calendar->calendarWidget(), &QCalendarWidget::clicked, this, [this] { calendarPicked_ = true; });

    // A new row starts on the date of the row written last; a row whose two sides differ is
    // written only when the user says so.
    Table& t = dm_.t01keiri;
    tableNewRecord_ = t.onNewRecord;
    t.onNewRecord = [this](Dataset& row) {
        if (tableNewRecord_)
            tableNewRecord_(row);
        if (copying_)
            return;
        const QDate day = newRowDate();
        if (day.isValid())
            row.fieldByName(QStringLiteral("sDay")).setDate(day);
    };
    tableBeforePost_ = t.onBeforePost;
    t.onBeforePost = [this](Dataset& row) {
        if (tableBeforePost_)
            tableBeforePost_(row);
        confirmUnbalancedPost(row);
        const Field day = row.fieldByName(QStringLiteral("sDay"));
        if (!day.isNull() && day.asDate().isValid())
            lastPostedDate_ = day.asDate();
    };

    // The keyboard's way through a row: a key adds and a key posts, and the delete button is
    // never passed on the way from the memo to the post.
    c_.navigator->deleteQuestion = [this] { return deleteQuestion(); };
    QToolButton* insertButton = c_.navigator->button(DbNavigator::Insert);
    QToolButton* postButton = c_.navigator->button(DbNavigator::Post);
    insertButton->setToolTip(QStringLiteral("レコードの挿入 (Ctrl+I)"));
    postButton->setToolTip(QStringLiteral("編集結果の保存 (Ctrl+Enter)"));
    const auto press = [this](DbNavigator::Button which) {
        if (c_.navigator->button(which)->isEnabled())
            c_.navigator->click(which);
    };
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_I), this), &QShortcut::activated, this,
            [press] { press(DbNavigator::Insert); });
    for (const int key : {Qt::Key_Return, Qt::Key_Enter}) {
        connect(new QShortcut(QKeySequence(Qt::CTRL | key), this), &QShortcut::activated, this,
                [press] { press(DbNavigator::Post); });
    }
    connect(c_.navigator, &DbNavigator::actionDone, this, [this](DbNavigator::Button which) {
        if (which == DbNavigator::Insert)
            afterInsert();
    });
    QWidget* chain[] = {c_.memo,
                        c_.memoButton,
                        postButton,
                        c_.navigator->button(DbNavigator::Cancel),
                        insertButton,
                        c_.navigator->button(DbNavigator::First),
                        c_.navigator->button(DbNavigator::Prior),
                        c_.navigator->button(DbNavigator::Next),
                        c_.navigator->button(DbNavigator::Last),
                        c_.navigator->button(DbNavigator::Edit),
                        c_.navigator->button(DbNavigator::Refresh),
                        c_.navigator->button(DbNavigator::Delete),
                        c_.copy};
    for (size_t i = 0; i + 1 < std::size(chain); ++i)
        QWidget::setTabOrder(chain[i], chain[i + 1]);
    c_.day->installEventFilter(this);
    c_.memo->installEventFilter(this);

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

void TMainInput::afterInsert()
{
    c_.day->setFocus(Qt::OtherFocusReason);
    c_.day->selectAll();
}

QDate TMainInput::newRowDate()
{
    if (lastPostedDate_.isValid())
        return lastPostedDate_;
    if (!dm_.t01keiri.isActive())
        return {};
    return journallist::lastEnteredDate(dm_.t01keiri.databaseName()).value_or(QDate());
}

void TMainInput::confirmUnbalancedPost(Dataset& row)
{
    if (copying_)
        return;
    const Money debit = row.fieldByName(QStringLiteral("Lgaku")).asMoney();
    const Money credit = row.fieldByName(QStringLiteral("Rgaku")).asMoney();
    if (debit == credit)
        return;
    const QString question = QStringLiteral("借方金額 %1 と貸方金額 %2 が一致していません。\nこのまま保存しますか？")
                                 .arg(textformat::currency(debit), textformat::currency(credit));
    if (prompter().confirm(this, question, Prompter::QuestionKind::Warning))
        return;
    // Back to the amounts: the credit follows the debit in every entry, so it is the one to put right.
    c_.creditAmount->setFocus(Qt::OtherFocusReason);
    c_.creditAmount->selectAll();
    throw ActionStopped{};
}

QString TMainInput::deleteQuestion()
{
    Table& t = dm_.t01keiri;
    journallist::EntryFacts entry;
    const auto text = [&](const char* field) { return t.fieldByName(QString::fromLatin1(field)).asString(); };
    const auto amount = [&](const char* field) -> std::optional<Money> {
        const Field f = t.fieldByName(QString::fromLatin1(field));
        return f.isNull() ? std::nullopt : std::optional<Money>(f.asMoney());
    };
    if (t.state() != Dataset::State::Insert && !t.isEmpty())
        entry.id = t.fieldByName(QStringLiteral("id")).asInteger();
    if (!t.fieldByName(QStringLiteral("sDay")).isNull())
        entry.day = t.fieldByName(QStringLiteral("sDay")).asDate();
    entry.debitCode = text("Lcode");
    entry.debitName = journallist::accountName(t.databaseName(), entry.debitCode);
    entry.creditCode = text("Rcode");
    entry.creditName = journallist::accountName(t.databaseName(), entry.creditCode);
    entry.debit = amount("Lgaku");
    entry.credit = amount("Rgaku");
    return journallist::entryText(entry) + u'\n' + QStringLiteral("レコードを削除してもよいですか？");
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
    {
        // Today until the journal's first row shows its own date.
        const QSignalBlocker quiet(c_.calendar);
        c_.calendar->setDate(QDate::currentDate());
        calendarPicked_ = false;
    }
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
    // A move to another row (or to a new one): an amount box holding the focus was not
    // entered for it.
    const std::optional<qint64> row = t.isEmpty() ? std::nullopt
                                      : t.state() == Dataset::State::Insert
                                          ? std::optional<qint64>(0)
                                          : std::optional<qint64>(t.fieldByName(QStringLiteral("id")).asInteger());
    if (row != panelRow_) {
        panelRow_ = row;
        ++panelRowGeneration_;
    }
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
        if (isNumber && number > 0 && !followingList_)
            RefreshJournalList();
        else if (!followingList_)
            selectPanelRowInList();  // a new row is in no list: nothing stays highlighted
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
    shownStatement_ = statement;
}

void TMainInput::RefreshJournalList()
{
    const JournalListSql statement = journallist::refreshed(filter());
    if (!statement.ok()) {
        prompter().information(this, statement.problem);
        return;
    }
    showList(statement);
    if (!statement.hasConditions) {
        totals_->clear();
    } else {
        showTotals(listModel_->totals());
    }
    selectPanelRowInList();
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
    makeFirstListedRowCurrent();
}

void TMainInput::SpeedButton2Click()
{
    showList(journallist::everything());
    totals_->clear();
    for (QCheckBox* box : {c_.period, c_.debit.ticked, c_.credit.ticked, c_.useCategoryTicked, c_.debit.accountTicked,
                           c_.credit.accountTicked, c_.modeTicked})
        box->setChecked(false);
    makeFirstListedRowCurrent();
}

void TMainInput::mnCheckClick()
{
    // The check is a fresh look at the rows: the user's next click into an amount box is a
    // move into it, whatever box held the focus.
    ++panelRowGeneration_;
    const JournalListSql before = shownStatement_;
    const QString totalsBefore = totals_->text();
    const JournalListSql statement = journallist::unbalanced();
    showList(statement);
    if (listModel_->rowCount() == 0) {
        // Nothing to look at instead: the list shows again what it showed, on the same row.
        if (before.sql.isEmpty()) {
            RefreshJournalList();
        } else {
            showList(before);
            totals_->setText(totalsBefore);
            selectPanelRowInList();
        }
        prompter().information(this, QStringLiteral("貸借の金額はすべて一致しています。"));
        return;
    }
    showTotals(listModel_->totals());
    makeFirstListedRowCurrent();
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
        history::CommandScope command(*t.database(), QStringLiteral("複製"));
        Transaction transaction(*t.database());
        t.checkBrowseMode();
        for (int i = 0; i < t.storedFieldCount(); ++i)
            values << t.field(i).value();
        // The copy repeats a row as it is: neither a new row's date nor the question about its
        // amounts, which the row copied already had.
        copying_ = true;
        struct Reset {
            bool& flag;
            ~Reset() { flag = false; }
        } reset{copying_};
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
    // Passing through the calendar changes nothing; only a date the user chose goes in.
    if (!calendarPicked_)
        return;
    calendarPicked_ = false;
    const QDate picked = c_.calendar->date();
    if (!t.isEmpty() && t.state() == Dataset::State::Browse && t.fieldByName(QStringLiteral("sDay")).asDate() == picked)
        return;
    if (t.state() == Dataset::State::Browse)
        t.edit();
    t.fieldByName(QStringLiteral("sDay")).setDate(picked);
}

void TMainInput::showRowDateInCalendar()
{
    Table& t = dm_.t01keiri;
    if (!t.isActive() || closed_ || t.isEmpty() && t.state() == Dataset::State::Browse)
        return;
    const Field day = t.fieldByName(QStringLiteral("sDay"));
    if (day.isNull() || !day.asDate().isValid())
        return;
    const QSignalBlocker quiet(c_.calendar);
    c_.calendar->setDate(day.asDate());
    calendarPicked_ = false;
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
    // The same amount already there: nothing changes, and a row only passed through stays
    // as it was, not in editing.
    if (!t.isEmpty() && !t.fieldByName(toField).isNull() && t.fieldByName(toField).asMoney() == *amount)
        return;
    if (t.state() == Dataset::State::Browse)
        t.edit();
    t.fieldByName(toField).setMoney(*amount);
}

void TMainInput::DBEdit3Enter()
{
    debitAmountEntered_ = panelRowGeneration_;
    copyAmount(c_.creditAmount, QStringLiteral("Lgaku"));
}

void TMainInput::DBEdit4Enter()
{
    creditAmountEntered_ = panelRowGeneration_;
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
        const bool debit = watched == c_.debitAmount;
        const auto moveIn = [&] {
            guarded(this, [&] {
                if (debit)
                    DBEdit3Enter();
                else
                    DBEdit4Enter();
            });
        };
        int& entered = debit ? debitAmountEntered_ : creditAmountEntered_;
        if (event->type() == QEvent::FocusIn && userMovedIn(event)) {
            moveIn();
        } else if (event->type() == QEvent::MouseButtonPress && static_cast<QWidget*>(watched)->hasFocus()
                   && entered != panelRowGeneration_) {
            // The box kept the focus while the panel moved to another row (a balance check, a
            // click in the list) or a message came and went: the user's first click into it is
            // the move in, not a second one.
            moveIn();
        } else if (event->type() == QEvent::KeyPress) {
            // Typing into the box is working in it, for the row it shows.
            entered = panelRowGeneration_;
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
    } else if ((watched == c_.day || watched == c_.memo) && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && key->modifiers() == Qt::NoModifier) {
            // Enter moves on from the date to the debit side, and posts from the memo, the
            // last box of a row.
            if (watched == c_.day) {
                c_.debitCategory->setFocus(Qt::TabFocusReason);
            } else if (c_.navigator->button(DbNavigator::Post)->isEnabled()) {
                c_.navigator->click(DbNavigator::Post);
            }
            return true;
        }
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
    selectingListRow_ = true;
    c_.list->selectRow(row);
    selectingListRow_ = false;
    c_.list->scrollTo(listModel_->index(row, 0), QAbstractItemView::PositionAtCenter);
}

void TMainInput::selectPanelRowInList()
{
    Table& t = dm_.t01keiri;
    std::optional<int> row;
    if (t.isActive() && !t.isEmpty() && t.state() != Dataset::State::Insert)
        row = listModel_->rowOfId(t.fieldByName(QStringLiteral("id")).asInteger());
    if (row) {
        selectListRow(*row);
        return;
    }
    selectingListRow_ = true;
    c_.list->selectionModel()->clear();
    selectingListRow_ = false;
}

void TMainInput::moveToListRow(int row)
{
    Table& t = dm_.t01keiri;
    if (row < 0 || row >= listModel_->rowCount() || !t.isActive())
        return;
    const qint64 id = listModel_->idAt(row);
    if (!t.isEmpty() && t.state() == Dataset::State::Browse && t.fieldByName(QStringLiteral("id")).asInteger() == id)
        return;
    // A row being typed is written first (or dropped when untouched), as moving off it does;
    // the list is refreshed to show what was written.
    t.checkBrowseMode();
    followingList_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{followingList_};
    // The list already shows the row where the user put it; only a row gone meanwhile needs
    // the highlight put back on the panel's.
    if (!t.locate(QStringLiteral("id"), id) || listModel_->rowOfId(id) != c_.list->currentIndex().row())
        selectPanelRowInList();
}

void TMainInput::makeFirstListedRowCurrent()
{
    Table& t = dm_.t01keiri;
    if (listModel_->rowCount() > 0 && t.isActive() && t.state() == Dataset::State::Browse)
        guarded(this, [&] { moveToListRow(0); });
    selectPanelRowInList();
}

void TMainInput::closeDatasets()
{
    if (closed_)
        return;
    closed_ = true;
    // The table outlives the window: its hooks go back to what they were.
    dm_.t01keiri.onNewRecord = tableNewRecord_;
    dm_.t01keiri.onBeforePost = tableBeforePost_;
    // A row still being edited is discarded, as closing the journal table does.
    listModel_->clear();
    for (Dataset* ds : std::initializer_list<Dataset*>{&dm_.t01keiri, &dm_.q01kamokuL, &dm_.q02kamokuR, &dm_.q03bunruiL,
                                                      &dm_.q04bunruiR, &dm_.q05shiwakeView, &dm_.q06kubun, &dm_.q17SyoriK})
        ds->close();
}

void TMainInput::done(int result)
{
    // A row being typed is not dropped without a word: はい posts it as ✓ does, with its
    // question about differing amounts, and the window stays when the post is refused.
    if (!closed_ && !mayClose(*this, {&dm_.t01keiri}, [this] { c_.navigator->click(DbNavigator::Post); }))
        return;
    closeDatasets();
    QDialog::done(result);
}

void TMainInput::closeEvent(QCloseEvent* event)
{
    // The title bar's close goes through done(), which asks first; staying ignores the event.
    QDialog::closeEvent(event);
    if (event->isAccepted())
        closeDatasets();
}

} // namespace tolva
