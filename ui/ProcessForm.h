// The progress dialog: two texts and two bars with an abort button. Shown without
// being modal, so it stays usable while the main window is disabled.
#pragma once

#include "ui/FormPlacement.h"

class QProgressBar;
struct Session;
struct ProgressModel;

class TProcessForm : public TCenteredDialog {
    Q_OBJECT
  public:
    TProcessForm(QWidget* owner, Session& session);

    QLabel* QuickStatus;
    QProgressBar* ProgressBar1;
    QLabel* LongStatus;
    QProgressBar* ProgressBar2;
    QPushButton* AbortBtn;

    // Shows the session's progress model: texts, bars and visibility.
    void Render(const ProgressModel& model);
    void AbortBtnClick();

  public slots:
    // No close box: only the program hides the dialog.
    void reject() override {}

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    Session& session_;
};
