#pragma once

#include "ledger/ledgerbook.h"

#include <QAbstractTableModel>
#include <QDialog>

class QAction;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QTableView;

namespace tolva {

class Tdm01Keiri;

// The grid of the ledger window: the heading row and one row per ledger line, or a single
// empty row when there is no line.
class LedgerGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setLedger(Ledger ledger);
    [[nodiscard]] const Ledger& ledger() const { return ledger_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    [[nodiscard]] static Qt::Alignment alignment(int column);

private:
    Ledger ledger_;
};

// "元帳": the ledger of one category, account or sub-account over a date range, with its
// export. Reads the shared datasets q03bunruiL, q07kamoku, q25kamoku2 and q13motochou of the
// data module; writes nothing to the books.
class Tfm04Motocho : public QDialog {
    Q_OBJECT
public:
    // FormCreate: the file-save dialog will start in the data folder.
    explicit Tfm04Motocho(Tdm01Keiri& dm, QWidget* parent = nullptr);
    ~Tfm04Motocho() override;

    void FormShow();
    void ComboBox1Change();   // category list
    void ComboBox2Change();   // account list
    void CheckBox1Click();    // "科目"
    void CheckBox2Click();    // "細目"
    void SpeedButton1Click(); // "表示"
    void CSV1Click();         // "CSVファイル出力"
    void N3Click();           // "ｻﾎﾟｰﾄｻｲﾄ"

    [[nodiscard]] QComboBox* categoryList() const { return categories_; }
    [[nodiscard]] QCheckBox* accountCheck() const { return accountCheck_; }
    [[nodiscard]] QComboBox* accountList() const { return accounts_; }
    [[nodiscard]] QCheckBox* subAccountCheck() const { return subAccountCheck_; }
    [[nodiscard]] QComboBox* subAccountList() const { return subAccounts_; }
    [[nodiscard]] QDateEdit* startPicker() const { return start_; }
    [[nodiscard]] QDateEdit* endPicker() const { return end_; }
    [[nodiscard]] QPushButton* showButton() const { return showButton_; }
    [[nodiscard]] QAction* exportAction() const { return exportAction_; }
    [[nodiscard]] QAction* helpAction() const { return helpAction_; }
    [[nodiscard]] QTableView* grid() const { return grid_; }
    [[nodiscard]] const LedgerGridModel& gridModel() const { return *model_; }
    [[nodiscard]] QString statusText() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildUi();
    void updateVisibility();
    void fitAmountColumns();
    [[nodiscard]] LedgerRequest currentRequest() const;
    Tdm01Keiri& dm() const { return dm_; }

    Tdm01Keiri& dm_;
    QString dataFolder_;
    QComboBox* categories_ = nullptr;
    QCheckBox* accountCheck_ = nullptr;
    QComboBox* accounts_ = nullptr;
    QCheckBox* subAccountCheck_ = nullptr;
    QComboBox* subAccounts_ = nullptr;
    QDateEdit* start_ = nullptr;
    QDateEdit* end_ = nullptr;
    QPushButton* showButton_ = nullptr;
    QAction* exportAction_ = nullptr;
    QAction* helpAction_ = nullptr;
    QTableView* grid_ = nullptr;
    LedgerGridModel* model_ = nullptr;
    QLabel* status_ = nullptr;
    // What the grid shows was built for this request: the export names it, and refuses to
    // name another.
    LedgerRequest shownRequest_;
};

} // namespace tolva
