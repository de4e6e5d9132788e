#pragma once

#include "ui/dbcontrols.h"

#include <QDialog>

class QAction;
class QListWidget;
class QPushButton;

namespace tolva {

class Tdm01Keiri;

// "勘定科目": the accounts of Kamoku, edited through t05Kamoku, found through the list of
// categories (q03bunruiL) and the accounts of the category clicked there (q16temp1). The
// main window opens t05Kamoku and q03bunruiL before showing it and closes them after.
class TfTableK : public QDialog {
    Q_OBJECT
public:
    explicit TfTableK(Tdm01Keiri& dm, QWidget* owner = nullptr);
    ~TfTableK() override;

    // The handlers, public so that tests can drive the window as a user would.
    void FormShow();
    void ListBox1Click(int row);  // the category list
    void ListBox2Click(int row);  // the account list
    void LoadAccountList();
    void DBNavigator1BeforeAction(DbNavigator::Button button);
    void DBNavigator1Click(DbNavigator::Button button);
    void DataSource1DataChange();
    void N2Click();  // ｻﾎﾟｰﾄｻｲﾄ

    // The category clicked last; empty until one is.
    [[nodiscard]] const QString& selectedCategory() const { return selectedCategory_; }

    struct Controls {
        DbNavigator* navigator = nullptr;
        DbEdit* code = nullptr;
        DbEdit* name = nullptr;
        DbLookupCombo* category = nullptr;
        QListWidget* categories = nullptr;
        QListWidget* accounts = nullptr;
        QPushButton* close = nullptr;
        QAction* help = nullptr;
    };
    [[nodiscard]] const Controls& controls() const { return c_; }

protected:
    // Asks before a record still being edited is dropped.
    void done(int result) override;
    void showEvent(QShowEvent* event) override;

private:
    Tdm01Keiri& dm_;
    Controls c_;
    QString selectedCategory_;
    bool shown_ = false;
};

} // namespace tolva
