#pragma once

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPointer>
#include <QToolButton>
#include <QWidget>

#include <array>
#include <functional>

class QButtonGroup;
class QRadioButton;

namespace tolva {

class Dataset;
class Query;

// An edit box bound to one field of a dataset's current row. Typing puts the row into edit
// mode; the text is applied to the field when the focus moves to another control of the
// window or the row is posted (not when it leaves for a menu, a message or another
// application: it comes back, and the text is still being typed). Without the focus an amount
// shows in the currency format and a date as yyyy/MM/dd.
//
// What is applied is checked as a user enters it: an amount in whole yen up to
// Money::kMaxEntryYen, a date as yyyy/M/d from 1900 to 2999, a text without control
// characters and within its length. A refusal names the box by its caption, never by the
// field. On books opened for reading (Dataset::booksReadOnly) every bound control shows its
// field and offers no change: boxes are read-only, lists and choices disabled, and the
// navigator's insert, delete, edit, post and cancel disabled.
class DbEdit : public QLineEdit {
    Q_OBJECT
public:
    enum class Kind { Text, Amount, Date };
    DbEdit(Dataset& dataset, QString field, Kind kind = Kind::Text, QWidget* parent = nullptr);

    // What the user sees beside the box ("年月日"), used in every message about it.
    void setCaption(const QString& caption) { caption_ = caption; }
    [[nodiscard]] const QString& caption() const { return caption_; }
    // The message for an amount that is not a number at all, where the window has words of
    // its own for it.
    void setNotANumberMessage(const QString& message) { notANumberMessage_ = message; }
    // The most characters a text box keeps; longer text is cut, and the user told so.
    void setMaxCharacters(int count) { maxCharacters_ = count; }
    // The text in the box was refused when it was last applied, and the user was told; it
    // stays until it is corrected or the row changes.
    [[nodiscard]] bool holdsRefusedText() const { return refused_; }
    // Text typed into the box and not yet applied to the field.
    [[nodiscard]] bool hasTypedText() const { return dirty_; }

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
    void keepEnterable();
    void leaveBox();
    [[nodiscard]] QString fieldText(bool forEditing) const;

    Dataset& dataset_;
    QString field_;
    Kind kind_;
    QString caption_;
    QString notANumberMessage_;
    int maxCharacters_ = 0;  // 0: no limit of its own
    bool dirty_ = false;
    bool applying_ = false;
    bool refused_ = false;
    // The focus went to a menu, a message or another application with typed text: it is
    // applied when the focus comes to another control of the window, not before.
    bool awayWithText_ = false;
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

// A drop-down list of fixed items bound to one field: it shows the item whose value the field
// holds (none for any other value), and only the listed values can be chosen. Choosing puts
// the row into edit mode.
class DbComboBox : public QComboBox {
    Q_OBJECT
public:
    struct Item {
        QString caption;
        QVariant value;
    };
    DbComboBox(Dataset& dataset, QString field, const QList<Item>& items, QWidget* parent = nullptr);

    // Chooses the item of that value, as a user would.
    void choose(const QVariant& value);
    void refreshFromField();

private:
    void onActivated(int index);

    Dataset& dataset_;
    QString field_;
    bool updating_ = false;
};

// A group of radio buttons bound to one field, each button storing its value: a row holding
// another value shows no button chosen. Choosing puts the row into edit mode.
class DbRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    struct Item {
        QString caption;
        QString value;
    };
    DbRadioGroup(Dataset& dataset, QString field, const QString& title, const QList<Item>& items, QWidget* parent = nullptr);

    [[nodiscard]] QRadioButton* button(int index) const;
    // The chosen button, -1 when none is.
    [[nodiscard]] int chosenIndex() const;
    void refreshFromField();

private:
    void onClicked(int index);

    Dataset& dataset_;
    QString field_;
    QList<Item> items_;
    QButtonGroup* group_ = nullptr;
    QList<QRadioButton*> buttons_;
};

// The ten buttons that move through and edit a dataset: first, prior, next, last, insert,
// delete (after asking), edit, post, cancel, refresh.
class DbNavigator : public QWidget {
    Q_OBJECT
public:
    enum Button { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh, ButtonCount };

    explicit DbNavigator(Dataset& dataset, QWidget* parent = nullptr);

    [[nodiscard]] QToolButton* button(Button which) const { return buttons_[which]; }
    // Shows these buttons only, in their usual order.
    void showOnly(std::initializer_list<Button> which);
    // Runs a button's action as a click would (with the question before a delete).
    void click(Button which);
    // Called before every action, before a delete is asked about too; throwing stops it.
    std::function<void(Button)> beforeAction;

signals:
    // After a button's action has done its work (not when it failed or was declined).
    void actionDone(DbNavigator::Button which);

private:
    void updateButtons();

    Dataset& dataset_;
    std::array<QToolButton*, ButtonCount> buttons_{};
};

} // namespace tolva
