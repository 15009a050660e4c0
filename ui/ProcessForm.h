// The progress dialog: two texts and two bars with an abort button, and under each
// bar a line with the bytes done of the total, the speed and the time left (of
// the file in hand and of the whole batch). Shown without being modal, so it stays
// usable while the main window is disabled.
#pragma once

#include <cstdint>
#include <functional>

#include "app/TransferMeter.h"
#include "engine/Session.h"
#include "ui/FormPlacement.h"

class QProgressBar;

namespace orvo {

struct Session;
struct ProgressModel;

class TProcessForm : public TCenteredDialog, public IProgressSink {
    Q_OBJECT
  public:
    TProcessForm(QWidget* owner, Session& session);

    QLabel* QuickStatus;
    QProgressBar* ProgressBar1;
    QLabel* LongStatus;
    QProgressBar* ProgressBar2;
    QPushButton* AbortBtn;
    QLabel* FileLine;
    QLabel* BatchLine;

    // The lines are drawn this often while the dialog is shown (4 times a second).
    static constexpr int kRateInterval = 250;
    // Milliseconds from any origin; a test drives it itself.
    std::function<int64_t()> Clock;

    // Shows the session's progress model: texts, bars and visibility.
    void Render(const ProgressModel& model);
    void AbortBtnClick();
    // IProgressSink: the counts are taken now and drawn at the next tick.
    void TransferProgressed(const TransferProgress& progress) override;
    // Draws both lines from the counts last reported.
    void ShowRates();

  public slots:
    // No close box: only the program hides the dialog.
    void reject() override {}

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    Session& session_;
    TransferMeter meter_;
    QTimer* rateTimer_;
};

}  // namespace orvo
