#pragma once

#include "ui/dbcontrols.h"

#include <QDialog>

class QAction;
class QListWidget;
class QPushButton;

namespace tolva {

class Tdm01Keiri;

// "詳細項目": the sub-accounts of Kamoku02, edited through t06temp1, found through the list
// of categories (q24bunrui), the accounts of the category clicked there (q16temp1) and the
// sub-accounts of the account clicked there (q25kamoku2). The "科目" box offers the accounts
// of the row's category (q26temp). The main window points t06temp1 at "kamoku02" and opens
// it, q16temp1 and q24bunrui before showing it.
class TfTableB : public QDialog {
    Q_OBJECT
public:
    explicit TfTableB(Tdm01Keiri& dm, QWidget* owner = nullptr);
    ~TfTableB() override;

    void FormShow();
    void ListBox1Click(int row);  // categories
    void ListBox2Click(int row);  // accounts
    void ListBox3Click(int row);  // sub-accounts
    void FillAccountList(const QString& category);
    void FillSubAccountList();
    void DBLookupComboBox2Click();  // a category chosen in the "区分" box
    void DataSource1DataChange();
    void DBNavigator1BeforeAction(DbNavigator::Button button);
    void DBNavigator1Click(DbNavigator::Button button);
    void N2Click();  // ｻﾎﾟｰﾄｻｲﾄ

    [[nodiscard]] const QString& SelectedAccountCode() const { return selectedAccountCode_; }

    struct Controls {
        DbNavigator* navigator = nullptr;
        DbEdit* code = nullptr;
        DbEdit* name = nullptr;
        DbLookupCombo* category = nullptr;  // kubun
        DbLookupCombo* account = nullptr;   // bunrui
        QListWidget* categories = nullptr;
        QListWidget* accounts = nullptr;
        QListWidget* subAccounts = nullptr;
        QPushButton* close = nullptr;
        QAction* help = nullptr;
    };
    [[nodiscard]] const Controls& controls() const { return c_; }

protected:
    // Asks before a record still being edited is dropped.
    void done(int result) override;
    void showEvent(QShowEvent* event) override;

private:
    void offerAccounts(const QString& sql, const QString& category);

    Tdm01Keiri& dm_;
    Controls c_;
    QString selectedAccountCode_;
    bool shown_ = false;
};

} // namespace tolva
