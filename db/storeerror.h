#pragma once

#include <QString>

#include <stdexcept>

namespace tolva {

// An error of the table store, carrying a message a user can read (Japanese, naming the
// file, table or field concerned). Every user action catches it at its edge.
class StoreError : public std::runtime_error {
public:
    explicit StoreError(const QString& message) : std::runtime_error(message.toStdString()), message_(message) {}
    [[nodiscard]] const QString& message() const { return message_; }

private:
    QString message_;
};

} // namespace tolva
