#pragma once

#include "ui/dbcontrols.h"

#include <QDialog>

class QAction;
class QPushButton;
class QTableView;

namespace tolva {

class QueryModel;
class Tdm01Keiri;

// "勘定区分": the account categories of Bunrui with the statement (BP) and side (LR) codes the
// closing reads, edited through t06temp1 beside the list of every category (q24bunrui). The
// main window points t06temp1 at "bunrui" and opens both before showing it.
class TfTableM : public QDialog {
    Q_OBJECT
public:
    explicit TfTableM(Tdm01Keiri& dm, QWidget* owner = nullptr);
    ~TfTableM() override;

    void DBGrid1CellClick(int row);
    void DataSource1DataChange();
    void RefreshCategoryList();
    void DBNavigator1BeforeAction(DbNavigator::Button button);
    void DBNavigator1Click(DbNavigator::Button button);
    void N2Click();  // ｻﾎﾟｰﾄｻｲﾄ

    struct Controls {
        DbNavigator* navigator = nullptr;
        DbEdit* code = nullptr;
        DbEdit* name = nullptr;
        DbRadioGroup* statement = nullptr;  // BP
        DbRadioGroup* side = nullptr;       // LR
        QTableView* list = nullptr;
        QPushButton* close = nullptr;
        QAction* help = nullptr;
    };
    [[nodiscard]] const Controls& controls() const { return c_; }
    [[nodiscard]] QueryModel* listModel() const { return model_; }

protected:
    // Asks before a record still being edited is dropped.
    void done(int result) override;

private:
    Tdm01Keiri& dm_;
    Controls c_;
    QueryModel* model_ = nullptr;
};

} // namespace tolva
