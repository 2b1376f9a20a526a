#pragma once
// A failure that ends a start-up or load sequence: its text is what the operator sees in
// the message box, and the steps after the failing one are skipped.

#include <QString>

#include <stdexcept>

namespace karvel {

class TStepError : public std::runtime_error {
public:
    explicit TStepError(QString text)
        : std::runtime_error(text.toStdString()), text_(std::move(text))
    { }
    const QString& text() const { return text_; }

private:
    QString text_;
};

} // namespace karvel
