#include "ui/ProcessForm.h"

#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "app/MessageTexts.h"
#include "engine/FileOperations.h"
#include "engine/Session.h"

namespace orvo {

namespace {

QProgressBar* MakeBar(QWidget* parent, int left, int top, int width, int height, const char* name) {
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setGeometry(Design(left), Design(top), Design(width), Design(height));
    bar->setTextVisible(false);
    bar->setRange(0, 100);
    bar->setValue(0);
    return bar;
}

void ShowBar(QProgressBar* bar, const ProgressBarModel& m) {
    // An empty range would make the bar a busy indicator; show it empty instead.
    if (m.Max > m.Min) {
        bar->setRange(m.Min, m.Max);
        bar->setValue(m.Position);
    } else {
        bar->setRange(0, 1);
        bar->setValue(0);
    }
}

// The labels have the width of the bars; a text that is longer (a long file name)
// is shortened in the middle, and the whole of it is the label's tool-tip. A screen
// reader hears the whole text, after spoken's words when given ("Файл: %1").
void SetLabel(QLabel* label, const std::string& utf8, const QString& spoken = QString()) {
    const int kLabelRoom = Design(314);
    const QString text = QString::fromStdString(utf8);
    const QFontMetrics metrics(label->font());
    const QString shown = metrics.horizontalAdvance(text) > kLabelRoom
                              ? metrics.elidedText(text, Qt::ElideMiddle, kLabelRoom)
                              : text;
    if (label->text() != shown) {
        label->setText(shown);
        label->setToolTip(shown == text ? QString() : text);
        label->adjustSize();
    }
    // Empty: the label's own text is its name.
    QString name;
    if (!text.isEmpty() && !spoken.isEmpty())
        name = spoken.arg(text);
    else if (shown != text)
        name = text;
    if (label->accessibleName() != name)
        label->setAccessibleName(name);
}

}  // namespace

TProcessForm::TProcessForm(QWidget* owner, Session& session)
    : TCenteredDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      session_(session) {
    setObjectName(QStringLiteral("ProcessForm"));
    setWindowTitle(tr("Передача данных..."));
    setFixedSize(Design(330), Design(183));
    setModal(false);

    QuickStatus = AddLabel(QStringLiteral("QuickStatus"), 8, 8, "QuickStatus");
    ProgressBar1 = MakeBar(this, 8, 28, 314, 17, "ProgressBar1");
    FileLine = AddLabel(QString(), 8, 48, "FileLine");
    LongStatus = AddLabel(QStringLiteral("LongStatus"), 8, 72, "LongStatus");
    ProgressBar2 = MakeBar(this, 8, 92, 314, 17, "ProgressBar2");
    BatchLine = AddLabel(QString(), 8, 112, "BatchLine");
    AbortBtn = AddButton(tr("Прервать"), 116, 152, 97, 25, "AbortBtn");
    ProgressBar1->setAccessibleName(tr("Ход передачи файла"));
    ProgressBar2->setAccessibleName(tr("Ход всей передачи"));
    FileLine->setAccessibleDescription(tr("Файл: передано, скорость, осталось"));
    BatchLine->setAccessibleDescription(tr("Всего: передано, скорость, осталось"));

    connect(AbortBtn, &QPushButton::clicked, this, &TProcessForm::AbortBtnClick);

    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    Clock = [clock] { return clock->elapsed(); };
    rateTimer_ = new QTimer(this);
    rateTimer_->setInterval(kRateInterval);
    connect(rateTimer_, &QTimer::timeout, this, &TProcessForm::ShowRates);
}

void TProcessForm::TransferProgressed(const TransferProgress& progress) {
    meter_.Update(Clock(), progress);
}

void TProcessForm::ShowRates() {
    if (!meter_.Started()) {
        SetLabel(FileLine, std::string());
        SetLabel(BatchLine, std::string());
        return;
    }
    // The meters move on with the clock even when no bytes came since.
    meter_.Tick(Clock());
    const TransferProgress& p = meter_.Last();
    SetLabel(FileLine,
             p.fileTotal > 0 || p.fileDone > 0
                 ? ProgressLine(meter_.File(), p.fileDone, p.fileTotal)
                 : std::string(),
             tr("Файл: %1"));
    SetLabel(BatchLine,
             p.batchTotal > 0 || p.batchDone > 0
                 ? ProgressLine(meter_.Batch(), p.batchDone, p.batchTotal)
                 : std::string(),
             tr("Всего: %1"));
}

void TProcessForm::Render(const ProgressModel& model) {
    SetLabel(QuickStatus, WordsUtf8(model.QuickStatus));
    SetLabel(LongStatus, WordsUtf8(model.LongStatus));
    ShowBar(ProgressBar1, model.ProgressBar1);
    ShowBar(ProgressBar2, model.ProgressBar2);
    if (model.Visible && !isVisible()) {
        ShowRates();
        rateTimer_->start();
        show();
    } else if (!model.Visible && isVisible()) {
        rateTimer_->stop();
        meter_.Reset();
        hide();
    }
}

void TProcessForm::AbortBtnClick() {
    try {
        orvo::RequestAbort(session_);
    } catch (const std::exception& e) {
        QMessageBox box(QMessageBox::NoIcon, tr("Ошибка"), QString::fromUtf8(e.what()),
                        QMessageBox::Ok, this);
        box.exec();
    }
}

void TProcessForm::closeEvent(QCloseEvent* event) {
    event->ignore();
}

}  // namespace orvo
