#pragma once

#include "aggregate/aggregategrid.h"
#include "aggregate/periodaggregation.h"

#include <QAbstractTableModel>
#include <QDialog>

class QAction;
class QDateEdit;
class QLabel;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTableView;
class QWidget;

namespace tolva {

class Database;
class GroupedHeaderView;
class Tdm01Keiri;

// The grid of the period aggregation window: one row per line of the view below its two
// heading rows, which the header draws.
class AggregateGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setGrid(AggregateGrid grid);
    [[nodiscard]] const AggregateGrid& grid() const { return grid_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    [[nodiscard]] static Qt::Alignment alignment(AggregateView view, int column);

private:
    AggregateGrid grid_;
};

// "集計表": the period aggregation. Mode "集計" runs the aggregation of a date range into Sum01
// and Sum02; mode "表示" shows the stored sums per account or per sub-account. Reads the
// journal and the masters; writes sjyoken, Sum01, Sum02 and the report work tables.
class TfSyukei2 : public QDialog {
    Q_OBJECT
public:
    // FormCreate: the file-save dialog will start in the data folder.
    explicit TfSyukei2(Tdm01Keiri& dm, QWidget* parent = nullptr);

    void FormShow();
    void RadioGroup2Click();   // "表示" / "集計"
    void SpeedButton1Click();  // "<<前月"
    void SpeedButton2Click();  // "翌月>>"
    void SpeedButton3Click();  // "集計実行"
    void SpeedButton4Click();  // "再表示"
    void N2Click();            // "ﾚﾎﾟｰﾄ"
    void N5Click();            // "CSVﾌｧｲﾙ出力"
    void N4Click();            // "ｻﾎﾟｰﾄｻｲﾄ"

    [[nodiscard]] QRadioButton* showMode() const { return showMode_; }
    [[nodiscard]] QRadioButton* runMode() const { return runMode_; }
    [[nodiscard]] QWidget* runPanel() const { return runPanel_; }
    [[nodiscard]] QWidget* viewPanel() const { return viewPanel_; }
    [[nodiscard]] QDateEdit* startPicker() const { return start_; }
    [[nodiscard]] QDateEdit* endPicker() const { return end_; }
    [[nodiscard]] QPushButton* previousMonthButton() const { return previous_; }
    [[nodiscard]] QPushButton* nextMonthButton() const { return next_; }
    [[nodiscard]] QPushButton* runButton() const { return run_; }
    [[nodiscard]] QPushButton* refreshButton() const { return refresh_; }
    [[nodiscard]] QRadioButton* accountLevel() const { return accountLevel_; }
    [[nodiscard]] QRadioButton* subAccountLevel() const { return subAccountLevel_; }
    [[nodiscard]] QLabel* runLabel() const { return runLabel_; }
    [[nodiscard]] QLabel* rangeLabel() const { return rangeLabel_; }
    [[nodiscard]] QStatusBar* statusBar() const { return statusBar_; }
    [[nodiscard]] QTableView* grid() const { return grid_; }
    [[nodiscard]] GroupedHeaderView* header() const { return header_; }
    [[nodiscard]] const AggregateGridModel& gridModel() const { return *model_; }
    [[nodiscard]] QAction* reportAction() const { return reportAction_; }
    [[nodiscard]] QAction* exportAction() const { return exportAction_; }
    [[nodiscard]] QAction* helpAction() const { return helpAction_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildUi();
    void showStatus();
    void setRange(const DateRange& range);
    void fitColumns();
    [[nodiscard]] Database& db() const;
    // The range of the last run in the names of the files: "科目集計試算表_202603".
    [[nodiscard]] QString periodPart();

    Tdm01Keiri& dm_;
    QString dataFolder_;
    QRadioButton* showMode_ = nullptr;
    QRadioButton* runMode_ = nullptr;
    QWidget* runPanel_ = nullptr;
    QWidget* viewPanel_ = nullptr;
    QDateEdit* start_ = nullptr;
    QDateEdit* end_ = nullptr;
    QPushButton* previous_ = nullptr;
    QPushButton* next_ = nullptr;
    QPushButton* run_ = nullptr;
    QPushButton* refresh_ = nullptr;
    QRadioButton* accountLevel_ = nullptr;
    QRadioButton* subAccountLevel_ = nullptr;
    QLabel* runLabel_ = nullptr;
    QLabel* rangeLabel_ = nullptr;
    QStatusBar* statusBar_ = nullptr;
    QTableView* grid_ = nullptr;
    GroupedHeaderView* header_ = nullptr;
    AggregateGridModel* model_ = nullptr;
    QAction* reportAction_ = nullptr;
    QAction* exportAction_ = nullptr;
    QAction* helpAction_ = nullptr;
};

} // namespace tolva
