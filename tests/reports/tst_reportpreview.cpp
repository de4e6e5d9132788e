#include "tests/reports/pdftext.h"
#include "tests/support/scriptedprompter.h"
#include "ui/prompter.h"
#include "ui/reportpreview.h"

#include <QAbstractScrollArea>
#include <QComboBox>
#include <QPageLayout>
#include <QPainter>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>

using namespace tolva;

namespace {

// As many pages as a year of a long book, each saying its number; remembers which it drew.
struct CountedPages final : ReportPages {
    explicit CountedPages(int count) : count(count) {}
    int pageCount() const override { return count; }
    QPageLayout pageLayout() const override
    {
        return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 10, 15, 10),
                           QPageLayout::Millimeter);
    }
    void drawPage(QPainter& painter, int page) const override
    {
        drawn.push_back(page);
        painter.setFont(QFont(QStringLiteral("Noto Sans CJK JP"), 12));
        painter.drawText(QPointF(100, 100), QStringLiteral("仕訳帳 %1 ページ").arg(page + 1));
    }
    [[nodiscard]] bool wasDrawn(int page) const { return std::find(drawn.begin(), drawn.end(), page) != drawn.end(); }

    int count;
    mutable std::vector<int> drawn;
};

} // namespace

// A preview of thousands of pages draws the pages the user looks at, when they come into view,
// and keeps only a few of them: its memory does not grow with the book.
TEST(ReportPreview, DrawsOnlyThePagesInViewAndKeepsAFew)
{
    const CountedPages pages(3000);
    ReportPreview preview(pages, QStringLiteral("rShiwake"), nullptr);
    preview.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&preview));
    ASSERT_TRUE(QTest::qWaitFor([&] { return pages.wasDrawn(0); }));
    EXPECT_LE(pages.drawn.size(), 3u) << "opening draws the pages in view only";

    auto* view = preview.findChild<QAbstractScrollArea*>(QStringLiteral("pages"));
    auto* pageBox = preview.findChild<QSpinBox*>(QStringLiteral("page"));
    ASSERT_NE(view, nullptr);
    ASSERT_NE(pageBox, nullptr);
    EXPECT_EQ(pageBox->value(), 1);

    QTest::keyClick(view, Qt::Key_End);
    ASSERT_TRUE(QTest::qWaitFor([&] { return pages.wasDrawn(2999); }));
    EXPECT_EQ(preview.currentPage(), 2999);
    EXPECT_EQ(pageBox->value(), 3000);

    // A page number typed into the box.
    pageBox->setFocus();
    pageBox->selectAll();
    QTest::keyClicks(pageBox, QStringLiteral("1500"));
    QTest::keyClick(pageBox, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return pages.wasDrawn(1499); }));
    EXPECT_EQ(preview.currentPage(), 1499);

    // Paging on through the book.
    view->setFocus();
    for (int i = 0; i < 60; ++i) {
        QTest::keyClick(view, Qt::Key_PageDown);
        QCoreApplication::processEvents();
    }
    const int reached = preview.currentPage();
    EXPECT_GT(reached, 1520);
    ASSERT_TRUE(QTest::qWaitFor([&] { return pages.wasDrawn(reached); }));
    EXPECT_LE(preview.keptPages(), 8);
    EXPECT_LT(pages.drawn.size(), 200u) << "pages drawn: far fewer than the book has";

    // Back to the first page by Home; it is drawn again, as it was no longer kept.
    pages.drawn.clear();
    QTest::keyClick(view, Qt::Key_Home);
    ASSERT_TRUE(QTest::qWaitFor([&] { return pages.wasDrawn(0); }));
    EXPECT_EQ(pageBox->value(), 1);

    // The whole page fits when asked for: the zoom shrinks, the page stays.
    auto* zoom = preview.findChild<QComboBox*>(QStringLiteral("zoom"));
    ASSERT_NE(zoom, nullptr);
    QTest::keyClick(view, Qt::Key_End);
    const double before = preview.zoom();
    zoom->setFocus();
    QTest::keyClick(zoom, Qt::Key_End);  // ページ全体, the last entry
    EXPECT_EQ(zoom->currentText(), QStringLiteral("ページ全体"));
    EXPECT_LT(preview.zoom(), before);
    EXPECT_EQ(preview.currentPage(), 2999);
}

// PDF保存 writes every page through the output routine, to the file the user named.
TEST(ReportPreview, SavesEveryPageAsPdf)
{
    tolva::testing::ScriptedPrompter prompter;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("仕訳帳_2026.pdf"));
    prompter.fileNames.push_back(file);
    const CountedPages pages(5);
    ReportPreview preview(pages, QStringLiteral("rShiwake"), nullptr);
    preview.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&preview));

    QToolButton* save = nullptr;
    for (auto* button : preview.findChildren<QToolButton*>())
        if (button->defaultAction() && button->defaultAction()->objectName() == QStringLiteral("savePdf"))
            save = button;
    ASSERT_NE(save, nullptr);
    QTest::mouseClick(save, Qt::LeftButton);

    const QStringList text = tolva::testing::pdfPages(file);
    ASSERT_EQ(text.size(), 5);
    for (int p = 0; p < 5; ++p)
        EXPECT_TRUE(text[p].contains(QStringLiteral("仕訳帳 %1 ページ").arg(p + 1))) << text[p].toStdString();
    EXPECT_TRUE(prompter.messages.empty());
}
