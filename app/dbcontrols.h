#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QToolButton>
#include <QWidget>

#include <array>
#include <functional>

namespace tolva {

class Dataset;
class Query;

// An edit box bound to one field of a dataset's current row. Typing puts the row into edit
// mode; the text is applied to the field when the box loses the focus or the row is posted.
// Without the focus an amount shows in the currency format and a date as yyyy/MM/dd.
class DbEdit : public QLineEdit {
    Q_OBJECT
public:
    enum class Kind { Text, Amount, Date };
    DbEdit(Dataset& dataset, QString field, Kind kind = Kind::Text, QWidget* parent = nullptr);

    // Applies typed text to the field now; false (with the message shown) when the field
    // refused it.
    bool applyText();
    // The same, letting the error go to the caller.
    void applyTextOrThrow();
    // Puts text into the box as if typed: the row goes into edit mode and the text is
    // applied with the next post or when the box loses the focus.
    void setTypedText(const QString& text);
    // Shows the field's current value again.
    void refreshFromField();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void onEdited();
    [[nodiscard]] QString fieldText(bool forEditing) const;

    Dataset& dataset_;
    QString field_;
    Kind kind_;
    bool dirty_ = false;
    bool applying_ = false;
};

// A drop-down list bound to one field: it lists the rows of a lookup query by one field and
// stores another (the code) in the bound field. Choosing an item puts the row into edit mode
// and emits closeUp with the chosen code.
class DbLookupCombo : public QComboBox {
    Q_OBJECT
public:
    DbLookupCombo(Dataset& dataset, QString field, Query& list, QString keyField, QString listField,
                  QWidget* parent = nullptr);

    // Chooses the item whose code equals `key`, as a user would.
    void choose(const QVariant& key);
    // Reads the lookup query's rows again (it is re-read automatically when reopened).
    void reloadList();
    void refreshFromField();

signals:
    void closeUp(const QVariant& key);

private:
    void onActivated(int index);

    Dataset& dataset_;
    QString field_;
    Query& list_;
    QString keyField_;
    QString listField_;
    bool updating_ = false;
};

// The ten buttons that move through and edit a dataset: first, prior, next, last, insert,
// delete (after asking), edit, post, cancel, refresh.
class DbNavigator : public QWidget {
    Q_OBJECT
public:
    enum Button { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh, ButtonCount };

    explicit DbNavigator(Dataset& dataset, QWidget* parent = nullptr);

    [[nodiscard]] QToolButton* button(Button which) const { return buttons_[which]; }
    // Runs a button's action as a click would (with the question before a delete).
    void click(Button which);
    // Called before every action; throwing stops it.
    std::function<void(Button)> beforeAction;

private:
    void updateButtons();

    Dataset& dataset_;
    std::array<QToolButton*, ButtonCount> buttons_{};
};

} // namespace tolva
