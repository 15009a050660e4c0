// The port settings dialog: port and line speed, asked at every start.
#pragma once

#include <string>
#include <vector>

#include "ui/FormPlacement.h"

class QComboBox;
class TComm32;

class TSettingsForm : public TCenteredDialog {
    Q_OBJECT
  public:
    // Fills the port list once for the whole run: extraPorts first, then the
    // serial ports found on this computer.
    TSettingsForm(QWidget* owner, TComm32& comm, const std::vector<std::string>& extraPorts);

    QComboBox* SelCom;
    QComboBox* SelSpeed;
    QPushButton* Start;
    QPushButton* CancelSetBtn;

    // True when the dialog was left with "Выход".
    bool ExitRequested() const { return exitRequested_; }
    int exec() override;

    void StartClick();
    void CancelSetBtnClick();

  public slots:
    // No close box: the dialog is left only by its two buttons.
    void reject() override {}

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    TComm32& comm_;
    bool exitRequested_ = false;
};
