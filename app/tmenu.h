#pragma once

#include "db/fiscalperiod.h"

#include <QDialog>
#include <QMainWindow>

#include <functional>
#include <map>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class QAction;

namespace tolva {

class Tdm01Keiri;

// The year control of the main window: a horizontal pair of arrows over a position.
class YearUpDown : public QWidget {
    Q_OBJECT
public:
    explicit YearUpDown(QWidget* parent = nullptr);
    void setRange(int minimum, int maximum);
    void setPosition(int position);
    [[nodiscard]] int position() const { return position_; }
    [[nodiscard]] QToolButton* downButton() const { return down_; }
    [[nodiscard]] QToolButton* upButton() const { return up_; }

signals:
    // After the position moved by one.
    void clicked(int position);

private:
    void step(int delta);
    void updateButtons();
    QToolButton* down_;
    QToolButton* up_;
    int minimum_ = 0;
    int maximum_ = 100;
    int position_ = 0;
};

// The main window: the fiscal year and period, and the buttons that open every other window.
class TMenu : public QMainWindow {
    Q_OBJECT
public:
    // The windows the main window opens. A window whose factory has not been registered is
    // not built yet: its button and menu item stay disabled.
    enum class Window { Journal, Ledger, Closing, FixedAssets, Accounts, AccountCategories, SubAccounts, Uses, Owner, OpeningBalances };
    using WindowFactory = std::function<std::unique_ptr<QDialog>(QWidget* owner, Tdm01Keiri& dm)>;
    static void registerWindow(Window window, WindowFactory factory);

    // Sets the data folder (FormCreate).
    explicit TMenu(const QString& dataFolder, QWidget* parent = nullptr);
    ~TMenu() override;

    // The shared data module, created after the main window; every window it opens is
    // given it. Books opened for reading only (programState().readOnly) are said so in the
    // title and in a line under the period.
    void setDataModule(Tdm01Keiri& dm);

    // What FormShow runs: reads the owner row and shows the year and the period.
    void LoadFiscalPeriod(const QDate& today);
    // The year control moved to `position`.
    void UpDown1Click(int position);

    void SpeedButton1Click();  // 仕訳
    void SpeedButton2Click();  // 科目設定
    void SpeedButton3Click();  // 区分
    void SpeedButton4Click();  // 科目区分
    void SpeedButton5Click();  // 固定資産
    void SpeedButton6Click();  // 元帳
    void SpeedButton7Click();  // 決算
    void SpeedButton8Click();  // 事業主
    void SpeedButton9Click();  // 細目設定
    void OpeningBalancesClick();  // 期首残高の入力
    void CheckBooksClick();    // 帳簿の検査: every page of the file read for damage
    void N12Click();           // version
    void N13Click();           // help

    [[nodiscard]] QString periodText() const;
    [[nodiscard]] QLabel* readOnlyNotice() const { return readOnlyNotice_; }
    [[nodiscard]] QString yearText() const;
    [[nodiscard]] YearUpDown* upDown() const { return upDown_; }
    [[nodiscard]] QPushButton* button(Window window) const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildUi();
    void showPeriod();
    // Prepares, shows the window modally, and always undoes the preparation afterwards.
    enum class WindowOrder { PrepareFirst, CreateFirst };
    void openWindow(Window window, const std::function<void()>& prepare, const std::function<void()>& after,
                    WindowOrder order = WindowOrder::PrepareFirst, const std::function<void(QDialog&)>& afterCreate = {});

    Tdm01Keiri& dm() const;

    QLineEdit* yearDisplay_ = nullptr;
    YearUpDown* upDown_ = nullptr;
    QLabel* periodLabel_ = nullptr;
    QLabel* readOnlyNotice_ = nullptr;
    std::map<Window, QPushButton*> buttons_;
    std::map<Window, QList<QAction*>> menuItems_;
    bool shownOnce_ = false;
    Tdm01Keiri* dm_ = nullptr;
};

} // namespace tolva
