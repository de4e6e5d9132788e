#pragma once

#include "closing/closinggrid.h"

#include <QAbstractTableModel>
#include <QDialog>

#include <optional>

class QAction;
class QLabel;
class QTableView;

namespace tolva {

class GroupedHeaderView;
class Tdm01Keiri;

// The grid of the trial balance and worksheet window: one row per line of the grid below its
// two heading rows, which the header draws.
class ClosingGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setGrid(ClosingGrid grid);
    [[nodiscard]] const ClosingGrid& grid() const { return grid_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    [[nodiscard]] static Qt::Alignment alignment(int column);

private:
    ClosingGrid grid_;
};

// "試算表" / "精算表": the year's figures stored by the last year-end aggregation, as the
// trial balance or the worksheet. The caption given before the window is shown chooses the
// view. Reads shisanH with Kamoku and Bunrui; writes only the report work tables.
class TfShisanH : public QDialog {
    Q_OBJECT
public:
    // FormCreate: the file-save dialog will start in the data folder.
    explicit TfShisanH(Tdm01Keiri& dm, QWidget* parent = nullptr);

    void FormShow();
    void ShowTrialBalance();
    void ShowWorksheet();
    void N2Click();  // "ﾚﾎﾟｰﾄ"
    void N5Click();  // "CSVﾌｧｲﾙ出力"
    void N4Click();  // "ｻﾎﾟｰﾄｻｲﾄ"

    // The view the caption chose when the window was shown.
    [[nodiscard]] std::optional<ClosingView> view() const { return view_; }
    [[nodiscard]] QTableView* grid() const { return grid_; }
    [[nodiscard]] GroupedHeaderView* header() const { return header_; }
    [[nodiscard]] const ClosingGridModel& gridModel() const { return *model_; }
    [[nodiscard]] QString periodText() const;
    [[nodiscard]] QAction* reportAction() const { return reportAction_; }
    [[nodiscard]] QAction* exportAction() const { return exportAction_; }
    [[nodiscard]] QAction* helpAction() const { return helpAction_; }
    // Says why the year cannot balance when 2111 does not net to zero; hidden otherwise.
    [[nodiscard]] QLabel* notice() const { return notice_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildUi();
    void showView(ClosingView view);
    void fitColumns();
    // The fiscal year in the names of the files: "精算表_2026".
    [[nodiscard]] QString yearPart() const;

    Tdm01Keiri& dm_;
    QString dataFolder_;
    std::optional<ClosingView> view_;
    QLabel* period_ = nullptr;
    QLabel* notice_ = nullptr;
    QTableView* grid_ = nullptr;
    GroupedHeaderView* header_ = nullptr;
    ClosingGridModel* model_ = nullptr;
    QAction* reportAction_ = nullptr;
    QAction* exportAction_ = nullptr;
    QAction* helpAction_ = nullptr;
    int defaultRowHeight_ = 0;
};

} // namespace tolva
