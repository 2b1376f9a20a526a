#pragma once
// The system state window: the terminals of every line with which the link is lost, one
// text line each, in red. It only shows the text it is given; the main window keeps the
// lists and refreshes the view.

#include <QStringList>
#include <QWidget>

class QTextEdit;

namespace karvel {

class TStateLists;

class TLogFrm : public QWidget {
    Q_OBJECT
public:
    static inline const QString kCaption = QStringLiteral("Состояние системы");
    static constexpr int kClientWidth = 428;
    static constexpr int kClientHeight = 296;

    explicit TLogFrm(QWidget* parent = nullptr);

    // Rewrites the view with these lines (empty: an empty view).
    void ShowData(const QStringList& lines);
    void ShowData(const TStateLists& lists);
    // ShowData, then shows the window and brings it to the front (not modal).
    void ShowState(const QStringList& lines);

    QString Text() const;

private:
    QTextEdit* RichEdit1;
};

} // namespace karvel
