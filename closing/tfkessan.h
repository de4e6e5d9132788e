#pragma once

#include <QDialog>

#include <functional>
#include <memory>

class QAction;
class QLabel;
class QPushButton;

namespace tolva {

class Tdm01Keiri;

// "決算処理ﾒﾆｭｰ": the year-end closing of the current fiscal period in six steps, with the
// commands of four of them (the aggregation, the trial balance, the worksheet, the closing
// transfers) and the panel that opens the period aggregation.
class TfKessan : public QDialog {
    Q_OBJECT
public:
    // The period aggregation window ("集計表"), once it is built; until then its button stays
    // disabled.
    using WindowFactory = std::function<std::unique_ptr<QDialog>(QWidget* owner, Tdm01Keiri& dm)>;
    static void registerPeriodAggregation(WindowFactory factory);
    // The blue-return statement ("青色申告決算書"), opened beside step ⑤ once it is registered.
    static void registerBlueReturn(WindowFactory factory);

    explicit TfKessan(Tdm01Keiri& dm, QWidget* parent = nullptr);

    void FormShow();
    void SpeedButton2Click();  // "決算の集計処理"
    void SpeedButton1Click();  // "試算表の表示"
    void SpeedButton4Click();  // "精算表の表示"
    void SpeedButton3Click();  // "決算振替処理"
    void SpeedButton5Click();  // "科目・細目集計"
    void BlueReturnClick();    // "青色申告決算書"
    void N2Click();            // "ｻﾎﾟｰﾄｻｲﾄ"

    [[nodiscard]] QString periodText() const;
    [[nodiscard]] QPushButton* aggregationButton() const { return aggregate_; }
    [[nodiscard]] QPushButton* trialBalanceButton() const { return trialBalance_; }
    [[nodiscard]] QPushButton* worksheetButton() const { return worksheet_; }
    [[nodiscard]] QPushButton* transfersButton() const { return transfers_; }
    [[nodiscard]] QPushButton* periodAggregationButton() const { return periodAggregation_; }
    [[nodiscard]] QPushButton* blueReturnButton() const { return blueReturn_; }
    [[nodiscard]] QAction* helpAction() const { return helpAction_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildUi();
    void openTrialBalanceWindow(const QString& question, const QString& caption, int width);

    Tdm01Keiri& dm_;
    QLabel* period_ = nullptr;
    QPushButton* aggregate_ = nullptr;
    QPushButton* trialBalance_ = nullptr;
    QPushButton* worksheet_ = nullptr;
    QPushButton* transfers_ = nullptr;
    QPushButton* periodAggregation_ = nullptr;
    QPushButton* blueReturn_ = nullptr;
    QAction* helpAction_ = nullptr;
};

} // namespace tolva
