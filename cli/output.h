#pragma once

#include "cli/command.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace tolva::cli {

// Standard output and error. Text and JSON are UTF-8; errors are UTF-8 text lines.
void writeOut(const QByteArray& bytes);
void writeOut(const QString& text);
void writeErr(const QString& text);

// The columns a terminal gives a text: two for a full-width character (kanji, kana,
// full-width forms such as ～ and ￥), one for ASCII and half-width katakana, none for a
// combining mark.
[[nodiscard]] int displayWidth(QStringView text);

// A table for people: columns padded to their widest cell by display width, two blanks
// between columns, titles above a rule. Cells lose their control characters.
class TextTable {
public:
    enum class Align { Left, Right };
    struct Column {
        QString title;
        Align align = Align::Left;
    };
    explicit TextTable(QList<Column> columns);
    void addRow(QStringList cells);
    [[nodiscard]] QString render() const;
    // The same onto standard output, a piece at a time.
    void write() const;

private:
    // Renders the titles, the rule and every row, handing the text over in pieces.
    template <typename Sink>
    void renderInto(Sink&& sink) const;

    QList<Column> columns_;
    QList<QStringList> rows_;
    QList<int> widths_;      // the widest cell of each column so far
    QList<int> cellWidths_;  // every cell's width, row after row
    QList<qsizetype> rowStarts_;
};

// What a verb writes for programs and people.
enum class Format { Text, Csv, Json };

// The --format and --encoding options (csv only where `csv`).
[[nodiscard]] QList<OptionSpec> formatOptions(bool csv = true);

struct OutputChoice {
    Format format = Format::Text;
    bool utf8 = false;  // csv in UTF-8 instead of code page 932
};
[[nodiscard]] OutputChoice outputChoice(const Invocation& invocation, bool csv = true);

// Comma-separated lines on standard output, as the exports write them (csv::joinRow, CR LF,
// code page 932 unless UTF-8 is asked for). Lines holding a character the code page lacks
// are told on standard error when the output ends.
class CsvOut {
public:
    explicit CsvOut(bool utf8) : utf8_(utf8) {}
    ~CsvOut();
    void row(const QStringList& cells);
    void line(const QString& text);

private:
    void flush();
    bool utf8_;
    QByteArray buffer_;
    int lines_ = 0;
    QList<int> replaced_;
};

// A JSON value as text: a string, null for an empty optional.
[[nodiscard]] QByteArray jsonString(const QString& text);

} // namespace tolva::cli
