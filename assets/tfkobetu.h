#pragma once

#include "db/money.h"
#include "db/rate.h"
#include "ui/dbcontrols.h"

#include <QDialog>

class QAction;
class QLabel;
class QPushButton;

namespace tolva {

class Tdm01Keiri;

// "個別減価償却処理": the current item's terms (read-only) and the target year's row of it,
// whose inputs the user sets; "再計算" applies the recalculation rules and saves the row.
// "閉じる" (or any other way of closing) throws away what was typed unless "再計算" was
// pressed since the dialog was shown.
class TfKobetu : public QDialog {
    Q_OBJECT
public:
    // `previousRate` and `previousEndBalance` are what the year before left, shown under
    // "前年度状況"; `propertyName` is the item's property.
    TfKobetu(Tdm01Keiri& dm, const QString& propertyName, const Rate& previousRate, Money previousEndBalance,
             QWidget* owner = nullptr);
    ~TfKobetu() override;

    void RecalcClick();  // 再計算
    void HelpClick();    // ｻﾎﾟｰﾄｻｲﾄ

    [[nodiscard]] bool recalcDone() const { return RecalcDone; }

    struct Controls {
        QLineEdit* property = nullptr;
        DbLookupCombo* category = nullptr;
        DbLookupCombo* kind = nullptr;
        DbEdit* acquired = nullptr;
        DbEdit* price = nullptr;
        DbEdit* quantity = nullptr;
        DbEdit* life = nullptr;
        DbEdit* start = nullptr;
        DbLookupCombo* method = nullptr;
        QLabel* previousRate = nullptr;
        QLabel* previousEndBalance = nullptr;
        QPushButton* calculator = nullptr;
        QPushButton* close = nullptr;
        DbEdit* day = nullptr;
        DbEdit* base = nullptr;
        DbEdit* rate = nullptr;
        DbEdit* months = nullptr;
        DbEdit* ordinary = nullptr;
        DbEdit* extra = nullptr;
        DbEdit* total = nullptr;
        DbEdit* share = nullptr;
        DbEdit* expense = nullptr;
        DbEdit* endBalance = nullptr;
        DbEdit* memo = nullptr;
        QPushButton* recalc = nullptr;
        QAction* help = nullptr;
    };
    [[nodiscard]] const Controls& controls() const { return c_; }

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    Tdm01Keiri& dm_;
    Controls c_;
    Money previousEndBalance_;
    bool openedMethods_ = false;
    bool RecalcDone = false;
};

} // namespace tolva
