#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <memory>

namespace tolva::outputfile {
class OutputFile;
}

namespace tolva::csv {

// A cell as the exports write it: enclosed in double quotes, each inner quote doubled, when
// it holds a character of code 32 or less (a blank or a control character), a double quote
// or a comma; every other cell, an empty one included, unchanged.
[[nodiscard]] QString quoteCell(const QString& cell);
// The cells of one row, each quoted as above, joined by ",".
[[nodiscard]] QString joinRow(const QStringList& cells);

// Text in code page 932 (Shift-JIS with the Windows extensions), the one conversion the
// program makes at a file boundary. Policy for characters the code page cannot hold:
//  - the JIS-table forms of characters that code page 932 holds under another code point
//    (〜 U+301C, ‖ U+2016, − U+2212, ¢ U+00A2, £ U+00A3, ¬ U+00AC, — U+2014, as typed through
//    some input methods) are written as their code page 932 twins (～ ∥ － ￠ ￡ ￢ ―), which
//    look the same;
//  - anything else it cannot hold (an emoji, accented Latin, a lone surrogate) is written as
//    "?" and `replaced` is set, so that the caller can tell the user.
struct CodePage932Text {
    QByteArray bytes;
    bool replaced = false;
};
[[nodiscard]] CodePage932Text toCodePage932(QStringView text);

// What a write did besides writing.
struct WriteOutcome {
    // 0-based positions, in the rows or lines given, of those where a character was
    // written as "?".
    QList<int> linesWithReplacements;
    [[nodiscard]] bool lossless() const { return linesWithReplacements.isEmpty(); }
};

// Lines written one by one into a file, as writeLines writes them, without holding them all:
// an export of a million rows keeps a buffer, not the rows. The file goes through the one
// output routine (outputfile::OutputFile): a target that is one of the books' own files is
// refused before anything is written; a regular file is written beside the target under a
// temporary name and commit() renames it over the target, while an object that goes without
// commit() leaves the target as it was; a pipe or a terminal is written as a stream. Throws
// StoreError naming the file.
class LineWriter {
public:
    explicit LineWriter(const QString& path);
    ~LineWriter();
    LineWriter(const LineWriter&) = delete;
    LineWriter& operator=(const LineWriter&) = delete;

    void add(QStringView line);
    WriteOutcome commit();

private:
    void convertPending();
    void flush();
    QString path_;
    std::unique_ptr<outputfile::OutputFile> file_;
    QByteArray buffer_;
    int lines_ = 0;
    WriteOutcome outcome_;
    // Lines that convert in one pass, waiting to be converted together, and where each ends.
    QString pending_;
    QList<qsizetype> pendingEnds_;
    int pendingFirstLine_ = 0;
};

// Writes each row as one line (its cells quoted and joined as above) ending in CR LF, in code
// page 932. The file is written beside the target under a temporary name and renamed over
// it only when every byte is on disk: an existing file is replaced without asking, and a
// write that fails leaves it as it was. The name is used as given, no extension is added.
// Throws StoreError naming the file and the reason when it cannot be written.
WriteOutcome writeRows(const QString& path, const QList<QStringList>& rows);
// The same for lines already joined (an export that quotes by column type).
WriteOutcome writeLines(const QString& path, const QStringList& lines);

// The message that tells the user which lines of a written file hold "?" in place of a
// character: line numbers counted from 1 in the file, each with an optional note (such as
// the journal number of the row), at most `listed` of them named.
[[nodiscard]] QString replacementNotice(const QString& path, const QList<int>& lineNumbers, const QStringList& notes = {},
                                        int listed = 10);

} // namespace tolva::csv
