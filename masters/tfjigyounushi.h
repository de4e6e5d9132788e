#pragma once

#include "ui/dbcontrols.h"

#include <QDialog>

class QAction;
class QPushButton;

namespace tolva {

class Tdm01Keiri;

// "事業主情報": the one owner row of Jigyounushi (t07Jigyou) with the closing month the main
// window derives the fiscal period from. Opens the table when shown and closes it, dropping
// what was not saved, when it closes.
class Tfjigyounushi : public QDialog {
    Q_OBJECT
public:
    explicit Tfjigyounushi(Tdm01Keiri& dm, QWidget* owner = nullptr);
    ~Tfjigyounushi() override;

    void FormShow();
    void FormClose();
    void N2Click();  // ｻﾎﾟｰﾄｻｲﾄ

    struct Controls {
        DbNavigator* navigator = nullptr;
        DbEdit* name = nullptr;
        DbEdit* post = nullptr;
        DbEdit* address1 = nullptr;
        DbEdit* address2 = nullptr;
        DbEdit* tel = nullptr;
        DbEdit* fax = nullptr;
        DbComboBox* closingMonth = nullptr;
        QPushButton* close = nullptr;
        QAction* help = nullptr;
    };
    [[nodiscard]] const Controls& controls() const { return c_; }

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;
    void closeEvent(QCloseEvent* event) override;

private:
    Tdm01Keiri& dm_;
    Controls c_;
    bool shown_ = false;
    bool closed_ = false;
};

} // namespace tolva
