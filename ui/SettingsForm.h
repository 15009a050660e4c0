// The port settings dialog: port and line speed, asked at every start. Each port
// shows what the system knows of it; "Обновить" looks for ports again; a path
// typed into the port box is used as it is. With a settings file the last port
// and speed are remembered and preselected: the remembered port is offered first
// whenever it exists, found by the search or not (a stable by-id name, a typed
// path), after the ports given for this run, which are chosen over it.
#pragma once

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "ui/FormPlacement.h"

class QComboBox;
class QToolButton;

namespace orvo {

class TComm32;

class TSettingsForm : public TCenteredDialog {
    Q_OBJECT
  public:
    // Finds the serial ports to offer; runs on a thread of its own.
    using PortProbe = std::function<std::vector<std::string>()>;

    // Fills the port list once for the whole run: extraPorts at once, then the
    // serial ports that probe finds (by default the ones on this computer), added
    // when it is done. The dialog stays usable while the probe runs.
    TSettingsForm(QWidget* owner, TComm32& comm, const std::vector<std::string>& extraPorts,
                  PortProbe probe = {});
    ~TSettingsForm() override;

    QComboBox* SelCom;
    QComboBox* SelSpeed;
    QPushButton* Start;
    QPushButton* CancelSetBtn;
    QToolButton* RefreshBtn;

    // Remembers the choice made with "Старт" in file (an INI file) and offers and
    // preselects the one remembered there.
    void UseSettings(const QString& file);
    // Looks for ports again (in the background, as at the start).
    void RefreshClick();
    // Shows a description beside each port path (empty: none); a test gives its own.
    std::function<std::string(const std::string&)> Describe;

    // True when the dialog was left with "Выход".
    bool ExitRequested() const { return exitRequested_; }
    // True once the probe's ports are in the list.
    bool PortsProbed() const { return portsProbed_; }
    int exec() override;

    void StartClick();
    void CancelSetBtnClick();

  public slots:
    // No close box: the dialog is left only by its two buttons.
    void reject() override {}

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void AddProbedPorts(const std::vector<std::string>& ports);
    void StartProbe();
    void Preselect();
    void DescribeItem(int index);

    TComm32& comm_;
    bool exitRequested_ = false;
    bool portsProbed_ = false;
    std::thread probe_;
    PortProbe probeFn_;
    QString settingsFile_;
    QString rememberedPort_;
    int givenPorts_ = 0;        // the ports given for this run, first in the list
    bool preselected_ = false;  // the remembered port was chosen
    bool userChose_ = false;    // the user picked or typed a port
};

}  // namespace orvo
