#pragma once
// The line composition editor: the terminal model and the thirty slots of each line.
// "Сохранить" writes the line shown and keeps the dialog open; the dialog closes with OK
// when the line it shows was saved since it was loaded, and the main window then reloads.

#include "line_store.h"

#include <QDialog>

class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;
class QToolButton;

namespace karvel {

class TFormEditLine : public QDialog {
    Q_OBJECT
public:
    // `storePath`: the per-user store file (TConfigStore::DefaultPath() in the program).
    explicit TFormEditLine(QString storePath, QWidget* parent = nullptr);

    // Loads the line the selector shows.
    void ShowData();
    // "Сохранить"; does nothing while the line shown has not loaded.
    void BitBtn1Click();
    // ShowData, then the modal dialog: true (OK) when the main window must reload.
    bool Run();

    // Closing by any means gives OK exactly when the line shown was saved.
    void done(int result) override;

    bool IsEdit() const { return isEdit_; }
    int Line() const;
    // Arrow of the selector: +1 or -1, within 1..4.
    void StepLine(int step);

    QLineEdit* Edit1() const { return edit1_; }
    QRadioButton* S100() const { return s100_; }
    QRadioButton* S200() const { return s200_; }
    QTableWidget* Grid() const { return grid_; }
    QPushButton* SaveButton() const { return saveBtn_; }
    QPushButton* CancelButton() const { return cancelBtn_; }

private:
    void LoadLine(int line);
    void Show(const TLineComposition& composition);
    void SetSaveAllowed(bool allowed);
    TLineComposition FromControls() const;
    void SetCell(int row, int column, const QString& text);
    QString Cell(int row, int column) const;

    QString storePath_;
    bool isEdit_ = false;
    bool loaded_ = false; // the grid holds the line the selector shows
    QLineEdit* edit1_ = nullptr;
    QToolButton* down_ = nullptr;
    QToolButton* up_ = nullptr;
    QRadioButton* s100_ = nullptr;
    QRadioButton* s200_ = nullptr;
    QTableWidget* grid_ = nullptr;
    QPushButton* saveBtn_ = nullptr;
    QPushButton* cancelBtn_ = nullptr;
};

} // namespace karvel
