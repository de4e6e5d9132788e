#pragma once

#include <QDialog>

#include <optional>

class QAction;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QWidget;

namespace tolva {

class Tdm01Keiri;

// "備考入力支援": the stock phrases of the memo (table biko), kept here and put into the memo
// of the journal row being entered. Every add, overwrite and delete is stored at once; the
// memo is stored when the journal window posts its row.
class Tfn21biko : public QDialog {
    Q_OBJECT
public:
    explicit Tfn21biko(Tdm01Keiri& dm, QWidget* owner = nullptr);

    // The handlers, public so that tests can drive the dialog as a user would.
    void FormShow();
    void FillPhraseList();
    void PhraseClick();     // a click on a phrase: into the edit box
    void EditClick();       // 登録情報編集
    void AddToMemoClick();  // 登録情報を備考に追加
    void AppendClick();     // 追加
    void OverwriteClick();  // 上書き
    void DeleteClick();     // 削除
    void EndEditClick();    // 登録情報編集終了
    void HelpClick();       // ｻﾎﾟｰﾄｻｲﾄ

    struct Controls {
        QListWidget* phrases = nullptr;
        QPushButton* edit = nullptr;
        QPushButton* addToMemo = nullptr;
        QPushButton* close = nullptr;
        QWidget* editPanel = nullptr;
        QLineEdit* text = nullptr;
        QPushButton* remove = nullptr;
        QPushButton* append = nullptr;
        QPushButton* overwrite = nullptr;
        QPushButton* endEdit = nullptr;
        QAction* help = nullptr;
    };
    [[nodiscard]] const Controls& controls() const { return c_; }

    static const QString kNothingToAdd;       // ﾘｽﾄから備考に追加する項目を指定して下さい。
    static const QString kAlreadyThere;       // すでに登録済みです。
    static const QString kNothingToOverwrite; // 編集する項目が指定されていません。
    static const QString kNothingToDelete;    // 削除する項目が指定されていません。
    static const QString kOverwrite;          // 指定項目を上書きしますか？

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The phrase selected in the list; no value when none is.
    [[nodiscard]] std::optional<QString> selectedPhrase() const;
    // Points the shared table at biko, open on its first row.
    void openPhraseTable();

    Tdm01Keiri& dm_;
    Controls c_;
    bool shown_ = false;
};

} // namespace tolva
