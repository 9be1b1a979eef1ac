#pragma once

#include <QDialog>

class QComboBox;
class QPushButton;

namespace tafelbot {
class MainWorkflow;
}

namespace tafelbot::app {

// The modal period dialog: a pick-only list of the file's periods and "Ok".
class PeriodDialog : public QDialog {
    Q_OBJECT
public:
    PeriodDialog(MainWorkflow& workflow, QWidget* parent);

    // Shows the dialog modally with the list as the gpn reader left it.
    void oeffnen();
    // The list, its selection and the number of rows it drops down, from the core.
    void vonModell();

    QComboBox* liste() const { return liste_; }
    QPushButton* okButton() const { return ok_; }

private:
    void okGeklickt();

    MainWorkflow& workflow_;
    QComboBox* liste_;
    QPushButton* ok_;
};

} // namespace tafelbot::app
