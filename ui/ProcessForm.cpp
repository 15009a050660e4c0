#include "ui/ProcessForm.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>

#include "engine/FileOperations.h"
#include "engine/Session.h"

namespace {

QProgressBar* MakeBar(QWidget* parent, int left, int top, int width, int height, const char* name) {
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setGeometry(left, top, width, height);
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
// is shortened in the middle, and the whole of it is the label's tool-tip.
constexpr int kLabelRoom = 249;

void SetLabel(QLabel* label, const std::string& utf8) {
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
}

}  // namespace

TProcessForm::TProcessForm(QWidget* owner, Session& session)
    : TCenteredDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      session_(session) {
    setObjectName(QStringLiteral("ProcessForm"));
    setWindowTitle(QStringLiteral("Передача данных..."));
    setFixedSize(265, 151);
    setModal(false);

    QuickStatus = AddLabel(QStringLiteral("QuickStatus"), 8, 8, "QuickStatus");
    ProgressBar1 = MakeBar(this, 8, 32, 249, 17, "ProgressBar1");
    LongStatus = AddLabel(QStringLiteral("LongStatus"), 8, 64, "LongStatus");
    ProgressBar2 = MakeBar(this, 8, 88, 249, 17, "ProgressBar2");
    AbortBtn = AddButton(QStringLiteral("Прервать"), 88, 120, 97, 25, "AbortBtn");

    connect(AbortBtn, &QPushButton::clicked, this, &TProcessForm::AbortBtnClick);
}

void TProcessForm::Render(const ProgressModel& model) {
    SetLabel(QuickStatus, model.QuickStatus);
    SetLabel(LongStatus, model.LongStatus);
    ShowBar(ProgressBar1, model.ProgressBar1);
    ShowBar(ProgressBar2, model.ProgressBar2);
    if (model.Visible && !isVisible()) {
        show();
    } else if (!model.Visible && isVisible()) {
        hide();
    }
}

void TProcessForm::AbortBtnClick() {
    try {
        ::RequestAbort(session_);
    } catch (const std::exception& e) {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Ошибка"), QString::fromUtf8(e.what()),
                        QMessageBox::Ok, this);
        box.exec();
    }
}

void TProcessForm::closeEvent(QCloseEvent* event) {
    event->ignore();
}
