// The about box.
#pragma once

#include "ui/FormPlacement.h"

namespace orvo {

class TAboutForm : public TCenteredDialog {
    Q_OBJECT
  public:
    explicit TAboutForm(QWidget* owner);

    QPushButton* AboutOkBtn;
};

}  // namespace orvo
