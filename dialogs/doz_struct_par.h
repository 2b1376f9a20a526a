#pragma once
// The dosing parameters window: shows the parameters a terminal sent, lets the operator
// change them and records their write on the very terminal they came from.

#include "doz_requests.h"
#include "doz_values.h"

#include <QDialog>

#include <array>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;

namespace karvel {

class TLinePoller;

class TDozStructPar : public QDialog {
    Q_OBJECT
public:
    explicit TDozStructPar(TLineLookup lines, QWidget* parent = nullptr);
    ~TDozStructPar() override;

    // Tooltips and the two captions of the terminal model (true: KR-200).
    void InitBerorShow(bool sTypeMeh);
    // "Параметры" of line `line` (1..4) for its terminal at `externNum`; the line window
    // then records Command_ReadDoz on that terminal.
    void ParamRequested(int line, uint16_t externNum, bool sTypeMeh);
    // The slot objects were rebuilt: pending reads refer to objects that are gone.
    void ForgetRequests() { requests_.Clear(); }

    // The terminal's parameters arrived (bound to every terminal's FOnReadDozeParam through
    // the core's DozStructParShow): fills the edits and shows the window modally. False,
    // without showing anything, when the terminal cannot be told (see TDozRequests).
    // Parameters of another line that arrive while the window is open (the other lines go
    // on polling) wait and are shown when it closes; the window open is left alone.
    bool Show(uint8_t pos, uint8_t eNum, const TDosageStructure& dosageStructure);

    // "Записаь параметры": checks and converts the six rows; on success stores the device
    // integers in the terminal's record, records the write and closes the window.
    bool BitBtn1Click();

    uint16_t TecLine() const { return tecLine_; }
    uint16_t TecDoz() const { return tecDoz_; }
    QLineEdit* Edit(int row) const { return edits_.at(static_cast<size_t>(row)); }
    QLabel* Caption(int row) const { return captions_.at(static_cast<size_t>(row)); }
    QString StatusText() const;
    QPushButton* WriteButton() const { return writeBtn_; }
    QPushButton* CancelButton() const { return cancelBtn_; }

private:
    struct TArrival {
        TDozSource source;
        uint8_t pos;
        TDosageStructure values;
    };
    void Present(const TArrival& arrival);
    void BuildRows(QWidget* box);
    void BuildButtons(QWidget* box);

    TLineLookup lines_;
    TDozRequests requests_;
    TDozSource source_;
    bool open_ = false;
    std::vector<TArrival> waiting_;
    uint16_t tecLine_ = 0;
    uint16_t tecDoz_ = 0;
    std::array<QLabel*, kDozRows> captions_ {};
    std::array<QLineEdit*, kDozRows> edits_ {};
    QPushButton* writeBtn_ = nullptr;
    QPushButton* cancelBtn_ = nullptr;
    QLabel* statusPanel_ = nullptr;
};

// "Параметры" of a line window: notes the request with the line and records the read on
// the selected terminal. False when no tab is selected (nothing happens then).
bool ParamBtnClick(TDozStructPar& window, TLinePoller& poller, int line, bool kr200);

} // namespace karvel
