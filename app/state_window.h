#pragma once
// The system state window: the terminals of every line with which the link is lost, one
// text line each, in red. It only shows the text it is given; the main window keeps the
// lists and refreshes the view. Below, when there are any, the booked changes the
// accounting server refused for good, with the two answers the operator has for one:
// send it again, or discard it (the main window asks for the password first).

#include "ledger.h"

#include <QStringList>
#include <QWidget>

#include <functional>
#include <vector>

class QGroupBox;
class QPushButton;
class QTableWidget;
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

    // The changes set aside (an empty list hides the part).
    void ShowSetAside(const std::vector<TLedgerDelivery>& changes);
    // The change selected in the list; 0 when none.
    int64_t SelectedSetAside() const;
    std::function<void(int64_t seq)> OnSendAgain;
    std::function<void(int64_t seq)> OnDiscard;

    QTableWidget* SetAsideTable() const { return AsideGrid; }
    QPushButton* SendAgainButton() const { return SendAgainBtn; }
    QPushButton* DiscardButton() const { return DiscardBtn; }
    bool SetAsideShown() const;

private:
    QTextEdit* RichEdit1;
    QGroupBox* AsideBox;
    QTableWidget* AsideGrid;
    QPushButton* SendAgainBtn;
    QPushButton* DiscardBtn;
};

} // namespace karvel
