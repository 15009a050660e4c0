// The rename dialog: one edit with the file's name, OK and "Отмена".
#pragma once

#include "ui/FormPlacement.h"

class QLineEdit;

namespace orvo {

class TRenameForm : public TCenteredDialog {
    Q_OBJECT
  public:
    explicit TRenameForm(QWidget* owner);

    QLineEdit* RenName;
    QPushButton* RenOK;
    QPushButton* RenCancel;

    // Shows name ready for editing; returns 1 (OK) or 2 (anything else) and puts
    // the edited text into name on OK.
    int Ask(QString& name);
};

}  // namespace orvo
