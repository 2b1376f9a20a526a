#pragma once

#include <QWidget>

#include <functional>

class QGroupBox;
class QPlainTextEdit;
class QPushButton;

namespace karvel::server {

// The test server's window: every accounting call as one line in the memo, and a
// button that clears it.
class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);

    // Asked before the window closes; false keeps it open.
    void setCloseGuard(std::function<bool()> guard) { closeGuard_ = std::move(guard); }

    // Adds the text as a new last line of the memo.
    void appendLine(const QString& text);
    QString memoText() const;

    QGroupBox* GroupBox1;
    QPlainTextEdit* Memo1;
    QPushButton* BitBtn1;

signals:
    void lineAppended(const QString& text);

public slots:
    void BitBtn1Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::function<bool()> closeGuard_;
};

} // namespace karvel::server
