#pragma once

#include <QString>

#include <stdexcept>

namespace tolva {

// An error of the table store, carrying a message a user can read (Japanese, naming the
// file, table or field concerned). Every user action catches it at its edge. The detail, when
// there is one, is the technical text behind the message (SQLite's own words), shown on demand.
class StoreError : public std::runtime_error {
public:
    explicit StoreError(const QString& message, const QString& detail = QString())
        : std::runtime_error(message.toStdString()), message_(message), detail_(detail)
    {
    }
    [[nodiscard]] const QString& message() const { return message_; }
    [[nodiscard]] const QString& detail() const { return detail_; }

private:
    QString message_;
    QString detail_;
};

} // namespace tolva
