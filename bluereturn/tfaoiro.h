#pragma once

#include "bluereturn/bluereturn.h"

#include <QDialog>

class QAction;
class QComboBox;
class QLabel;
class QPushButton;
class QTabWidget;
class QTableWidget;

namespace tolva {

class Tdm01Keiri;

// "青色申告決算書": the statement of the current fiscal period in four tabs, the findings of its
// checks above them, the special deduction of the year, and the commands: the account
// assignment window, the printed pages and the comma-separated file.
class TfAoiro : public QDialog {
    Q_OBJECT
public:
    explicit TfAoiro(Tdm01Keiri& dm, QWidget* parent = nullptr);

    // Computes the statement again from the journal and the settings.
    void refresh();
    void deductionChosen(int index);
    void openAssignment();  // "科目の割り当て"
    void printPages();      // "印刷・PDF"
    void exportCsv();       // "CSVﾌｧｲﾙ出力"

    [[nodiscard]] const BlueReturn& statement() const { return statement_; }
    [[nodiscard]] QTabWidget* tabs() const { return tabs_; }
    [[nodiscard]] QTableWidget* page(int number) const { return pages_[number - 1]; }
    [[nodiscard]] QLabel* findings() const { return findings_; }
    [[nodiscard]] QComboBox* deduction() const { return deduction_; }
    [[nodiscard]] QPushButton* assignmentButton() const { return assignment_; }
    [[nodiscard]] QPushButton* printButton() const { return print_; }
    [[nodiscard]] QPushButton* csvButton() const { return csv_; }
    [[nodiscard]] QAction* helpAction() const { return help_; }

private:
    // Where a file of the statement is proposed: 青色申告決算書_2026.csv in the documents folder.
    [[nodiscard]] QString proposedPath(const QString& extension) const;
    void buildUi();
    void fill();

    Tdm01Keiri& dm_;
    BlueReturn statement_;
    QLabel* period_ = nullptr;
    QComboBox* deduction_ = nullptr;
    QLabel* findings_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    QTableWidget* pages_[4] = {};
    QTableWidget* family_ = nullptr;
    QPushButton* assignment_ = nullptr;
    QPushButton* print_ = nullptr;
    QPushButton* csv_ = nullptr;
    QAction* help_ = nullptr;
};

// "決算書の科目設定": every account of the chart with the line of the form it goes to, chosen
// from a list; "保存" stores the choices (only those that differ from the defaults),
// "既定に戻す" puts the selected account back to its default.
class TfKessanLine : public QDialog {
    Q_OBJECT
public:
    explicit TfKessanLine(Tdm01Keiri& dm, QWidget* parent = nullptr);

    void save();
    void resetSelected();

    [[nodiscard]] QTableWidget* grid() const { return grid_; }
    [[nodiscard]] QComboBox* lineChoice(const QString& accountCode) const;
    [[nodiscard]] QPushButton* saveButton() const { return save_; }
    [[nodiscard]] QPushButton* resetButton() const { return reset_; }
    [[nodiscard]] bool saved() const { return saved_; }

private:
    void buildUi();

    Tdm01Keiri& dm_;
    std::vector<ChartAccount> chart_;
    AccountLines lines_;
    QTableWidget* grid_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* reset_ = nullptr;
    bool saved_ = false;
};

} // namespace tolva
