// The quoting of exported rows: a row joined into a line splits back into the same cells, so
// that a spreadsheet reads what was written.
#include "fuzz/fuzzcheck.h"
#include "reports/csvwriter.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

using namespace tolva;

namespace {

// The reading of one line as spreadsheets do: a cell in double quotes may hold anything, a
// doubled quote standing for one.
QStringList splitLine(const QString& line)
{
    QStringList cells;
    QString cell;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c == u'"' && i + 1 < line.size() && line[i + 1] == u'"') {
                cell += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                cell += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            cells << cell;
            cell.clear();
        } else {
            cell += c;
        }
    }
    cells << cell;
    return cells;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The bytes are cells separated by 0xFF, each read as UTF-8.
    QStringList cells;
    const char* begin = reinterpret_cast<const char*>(data);
    size_t start = 0;
    for (size_t i = 0; i <= size; ++i) {
        if (i == size || data[i] == 0xff) {
            cells << QString::fromUtf8(begin + start, qsizetype(i - start));
            start = i + 1;
        }
    }
    const QString line = csv::joinRow(cells);
    FUZZ_CHECK(splitLine(line) == cells);
    for (const QString& cell : cells) {
        const QString quoted = csv::quoteCell(cell);
        FUZZ_CHECK(quoted == cell || (quoted.startsWith(u'"') && quoted.endsWith(u'"')));
    }
    return 0;
}
