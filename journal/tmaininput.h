#pragma once

#include "db/dataset.h"
#include "journal/journalexport.h"
#include "journal/journallist.h"

#include <QDialog>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QMenu;
class QPushButton;
class QStatusBar;
class QTableView;
class QWidget;

namespace tolva {

class DbEdit;
class DbLookupCombo;
class DbNavigator;
class JournalListModel;
class Tdm01Keiri;

// The journal window ("仕訳処理"): the entry panel bound to the current row of the journal
// table, the filter panel and the journal list below it.
class TMainInput : public QDialog {
    Q_OBJECT
public:
    TMainInput(Tdm01Keiri& dm, QWidget* owner = nullptr);
    ~TMainInput() override;

    // The window "期首残高の入力" of the menu "表示" (the closing's, registered at start-up).
    using WindowFactory = std::function<std::unique_ptr<QDialog>(QWidget* owner, Tdm01Keiri& dm)>;
    static void registerOpeningBalances(WindowFactory factory);

    // The handlers, public so that tests can drive the window as a user would.
    void FormShow();
    void dsT01keiriDataChange();
    void RefreshJournalList();
    void SpeedButton1Click();  // 絞込実行
    void SpeedButton2Click();  // 全件表示
    void SpeedButton3Click();  // 備考入力支援
    void SpeedButton4Click();  // 複製
    void mnCheckClick();       // 金額確認
    void N6Click();            // 電卓
    void CSV1Click();          // CSV出力
    void N3Click();            // 仕訳帳
    void N4Click();            // 仕訳（条件）
    void N8Click();            // 仕訳（細目）
    void PrintJournalSelection(const QString& report);
    void DBGrid1DblClick(int row);
    void DateTimePicker1Exit();
    void DBEdit3Enter();  // the debit amount box got the focus
    void DBEdit4Enter();  // the credit amount box got the focus

    // The filter panel's current conditions.
    [[nodiscard]] JournalFilter filter() const;
    [[nodiscard]] QString statusText() const;

    // Controls, for tests and for the windows that build on this one.
    struct Controls {
        DbEdit* id = nullptr;
        DbEdit* day = nullptr;
        QDateEdit* calendar = nullptr;
        DbLookupCombo* debitCategory = nullptr;
        DbLookupCombo* debitAccount = nullptr;
        DbLookupCombo* debitSubAccount = nullptr;
        DbEdit* debitAmount = nullptr;
        DbLookupCombo* creditCategory = nullptr;
        DbLookupCombo* creditAccount = nullptr;
        DbLookupCombo* creditSubAccount = nullptr;
        DbEdit* creditAmount = nullptr;
        DbLookupCombo* use = nullptr;
        DbLookupCombo* useCategory = nullptr;
        DbLookupCombo* mode = nullptr;
        DbEdit* memo = nullptr;
        QPushButton* memoButton = nullptr;
        DbNavigator* navigator = nullptr;
        QPushButton* copy = nullptr;

        QCheckBox* period = nullptr;
        QDateEdit* periodFrom = nullptr;
        QDateEdit* periodTo = nullptr;
        QLabel* periodTilde = nullptr;
        QCheckBox* singleDay = nullptr;
        struct Side {
            QCheckBox* ticked = nullptr;
            QComboBox* category = nullptr;
            QCheckBox* accountTicked = nullptr;
            QComboBox* account = nullptr;
            QCheckBox* subAccountTicked = nullptr;
            QComboBox* subAccount = nullptr;
        } debit, credit;
        QCheckBox* useCategoryTicked = nullptr;
        QComboBox* filterUseCategory = nullptr;
        QComboBox* filterUse = nullptr;
        QCheckBox* modeTicked = nullptr;
        QComboBox* filterMode = nullptr;
        QWidget* usePanel = nullptr;
        QPushButton* narrow = nullptr;
        QPushButton* showAll = nullptr;

        QTableView* list = nullptr;
        QStatusBar* statusBar = nullptr;
    };
    [[nodiscard]] const Controls& controls() const { return c_; }
    [[nodiscard]] JournalListModel* listModel() const { return listModel_; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The names of the items chosen in the filter panel; a side's sub-account only for the
    // prints that look at it.
    [[nodiscard]] JournalExportNames chosenNames(bool subAccounts) const;
    void runJournalReport(const JournalListSql& statement, const QString& report, bool evenWhenEmpty);
    QWidget* buildEntryPanel();
    QWidget* buildFilterPanel();
    void buildMenus(QWidget* menuHost);
    void wireFilterPanel();
    void fillFilterLists();
    void showTotals(const journallist::Totals& totals);
    // Lists the statement in the shared list query and in the grid.
    void showList(const JournalListSql& statement);
    void selectListRow(int row);
    // Highlights the panel's row in the list, or nothing when the list does not hold it: the
    // list's current row and the panel's row are always the same row.
    void selectPanelRowInList();
    // Makes the list's row the panel's row, keeping the list as it is.
    void moveToListRow(int row);
    // After a command that listed other rows: their first becomes the panel's row, unless
    // the panel holds a row being typed.
    void makeFirstListedRowCurrent();
    // Shows the row's date in the calendar; what it shows is no choice of the user's.
    void showRowDateInCalendar();
    // Asks before a row whose debit and credit amounts differ is written; throws
    // ActionStopped when the user goes back to the amounts.
    void confirmUnbalancedPost(Dataset& row);
    [[nodiscard]] QString deleteQuestion();
    void afterInsert();
    [[nodiscard]] QDate newRowDate();
    void copyAmount(DbEdit* from, const QString& toField);
    void closeDatasets();
    void putBackAfterFailedCopy(Dataset::State before, const QVector<QVariant>& typed);
    void refillFromQuery(QComboBox* box, const QString& sql, const QString& code, int codeLength);

    Tdm01Keiri& dm_;
    Controls c_;
    JournalListModel* listModel_ = nullptr;
    QLabel* totals_ = nullptr;
    QString exportFolder_;
    // What the list shows, to show again when a balance check finds nothing.
    JournalListSql shownStatement_;
    // The number of the panel's row as last seen (0 for a row being inserted): a change is a
    // move to another row.
    std::optional<qint64> panelRow_;
    bool shown_ = false;
    bool closed_ = false;
    bool handlingRowChange_ = false;
    // The calendar's date was picked or typed by the user since it last showed the row's.
    bool calendarPicked_ = false;
    bool selectingListRow_ = false;
    // The panel follows the list: the list stays as it is instead of being refreshed.
    bool followingList_ = false;
    // The copy posts a row the user already answered for.
    bool copying_ = false;
    // Counts the rows the panel moved to (and balance checks run): an amount box that held
    // the focus meanwhile was not entered for the row it shows, and the user's next click
    // into it is a move in.
    int panelRowGeneration_ = 0;
    int debitAmountEntered_ = -1;
    int creditAmountEntered_ = -1;
    // The date of the last row posted here, which a new row starts with.
    QDate lastPostedDate_;
    std::function<void(Dataset&)> tableNewRecord_;
    std::function<void(Dataset&)> tableBeforePost_;
};

} // namespace tolva
