// The file-exists dialog: the existing name, an edit for a new one, and the
// choices OK (1), "Перезаписать" (5) and "Отмена" (2).
#pragma once

#include "ui/FormPlacement.h"

class QLineEdit;

namespace orvo {

class TFileExistForm : public TCenteredDialog {
    Q_OBJECT
  public:
    static constexpr int kOk = 1;
    static constexpr int kCancel = 2;
    static constexpr int kOverwrite = 5;

    explicit TFileExistForm(QWidget* owner);

    QLabel* OndNameCapt;
    QLabel* OldName;
    QLabel* NewNameCapt;
    QLineEdit* NewName;
    QPushButton* FexOKBtn;
    QPushButton* FexOverwriteBtn;
    QPushButton* FexCancel;

    // Shows oldName and offers newName for editing; returns the modal result and
    // puts the edited text into newName.
    int Ask(const QString& oldName, QString& newName);
};

}  // namespace orvo
