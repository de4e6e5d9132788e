#pragma once

#include <QDialog>
#include <QElapsedTimer>

class QLabel;
class QPushButton;

namespace tolva {

// The "Report Status" window shown while a report's pages are drawn: the pages done out of
// how many, and 中止. It keeps the program answering through a long print, so that the menu
// that started it closes, the windows repaint and 中止 can be pressed.
class ReportStatus final : public QDialog {
public:
    explicit ReportStatus(QWidget* parent);

    // Shows the window on the first call, tells the pages done and lets waiting events run
    // now and then. False once 中止 was pressed: the caller stops drawing.
    [[nodiscard]] bool update(int pagesDone, int pageCount);
    // The same before the pages are known: the rows read (`rowCount` unknown, below 0) or
    // measured out of `rowCount`.
    [[nodiscard]] bool updateRows(int rowsDone, int rowCount);
    [[nodiscard]] bool stopped() const { return stopped_; }

protected:
    void reject() override;  // Esc or the window's close button stop the run, as 中止 does

private:
    bool tell(const QString& text, bool last);

    QLabel* pages_;
    QPushButton* stop_;
    QElapsedTimer sinceEvents_;
    bool stopped_ = false;
};

} // namespace tolva
