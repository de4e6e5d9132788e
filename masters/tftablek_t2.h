#pragma once

#include "ui/dbcontrols.h"

#include <QDialog>

class QAction;
class QLabel;
class QListWidget;
class QPushButton;

namespace tolva {

class Tdm01Keiri;

// "区分項目編集" / "用途項目編集": the uses (yoto) and, under each, the use categories (kubun)
// a journal row may carry. One editor on t06temp1 serves both tables; the menu "対象切替"
// points it at the other. The use list and the "用途" box read q25kamoku2, the category list
// q16temp1. The main window points t06temp1 at "kubun" and opens it and q25kamoku2 before
// showing it.
class TfTableK_T2 : public QDialog {
    Q_OBJECT
public:
    enum class EditTarget { Categories, Uses };

    explicit TfTableK_T2(Tdm01Keiri& dm, QWidget* owner = nullptr);
    ~TfTableK_T2() override;

    void FormShow();
    void FillUseList();
    void FillCategoryList();
    void ListBox1Click(int row);  // uses
    void ListBox2Click(int row);  // categories
    void N2Click();               // 用途項目編集
    void N5Click();               // 区分項目編集
    void N4Click();               // ｻﾎﾟｰﾄｻｲﾄ
    void DataSource1DataChange();
    void DBNavigator1BeforeAction(DbNavigator::Button button);
    void DBNavigator1Click(DbNavigator::Button button);

    [[nodiscard]] EditTarget editTarget() const { return target_; }
    [[nodiscard]] const QString& SelectedUseCode() const { return selectedUseCode_; }

    struct Controls {
        DbNavigator* navigator = nullptr;
        DbEdit* code = nullptr;
        DbEdit* name = nullptr;
        QLabel* nameCaption = nullptr;
        DbLookupCombo* use = nullptr;
        QLabel* useCaption = nullptr;
        QListWidget* uses = nullptr;
        QListWidget* categories = nullptr;
        QLabel* categoriesCaption = nullptr;
        QPushButton* close = nullptr;
        QAction* toUses = nullptr;
        QAction* toCategories = nullptr;
        QAction* help = nullptr;
    };
    [[nodiscard]] const Controls& controls() const { return c_; }

protected:
    // Asks before a record still being edited is dropped.
    void done(int result) override;
    void showEvent(QShowEvent* event) override;

private:
    void switchTo(EditTarget target);
    [[nodiscard]] bool aUseIsSelected() const;

    Tdm01Keiri& dm_;
    Controls c_;
    EditTarget target_ = EditTarget::Categories;
    QString selectedUseCode_;
    bool shown_ = false;
};

} // namespace tolva
