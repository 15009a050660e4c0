#include "ui/SettingsForm.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>
#include <stdexcept>

#include "serial/Comm32.h"
#include "serial/SerialPorts.h"

namespace {

QComboBox* MakeList(QWidget* parent, int left, int top, int width, const char* name) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setEditable(true);
    // Typed text is never taken as an entry: only the selected entry counts.
    box->setInsertPolicy(QComboBox::NoInsert);
    box->move(Design(left), Design(top));
    box->resize(Design(width), box->sizeHint().height());
    return box;
}

}  // namespace

TSettingsForm::TSettingsForm(QWidget* owner, TComm32& comm,
                             const std::vector<std::string>& extraPorts, PortProbe probe)
    : TCenteredDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      comm_(comm) {
    setObjectName(QStringLiteral("SettingsForm"));
    setWindowTitle(QStringLiteral("Settings"));
    setFixedSize(Design(QSize(295, 122)));

    QLabel* label1 = AddLabel(QStringLiteral("Выберите ваш COM порт"), 24, 16, "Label1");
    QLabel* label2 = AddLabel(QStringLiteral("Выберите скорость:"), 48, 48, "Label2");
    // The labels stand before the lists. A label wider than its room in this font
    // starts further left, so that it still ends before its list; only when even the
    // dialog's left margin leaves too little room does its text get smaller.
    const int kListLeft = Design(152);
    const int kGap = Design(4);
    const int kMargin = Design(6);
    for (QLabel* label : {label1, label2}) {
        FitText(label, label->text(), kListLeft - kGap - kMargin);
        label->adjustSize();
        const int left = std::min(label->x(), kListLeft - kGap - label->width());
        label->move(std::max(kMargin, left), label->y() + 3);
    }
    SelCom = MakeList(this, 152, 16, 113, "SelCom");
    SelSpeed = MakeList(this, 152, 48, 113, "SelSpeed");
    Start = AddButton(QStringLiteral("Старт"), 8, 88, 121, 25, "Start");
    CancelSetBtn = AddButton(QStringLiteral("Выход"), 160, 88, 121, 25, "CancelSetBtn");
    Start->setDefault(true);

    for (const std::string& p : extraPorts) SelCom->addItem(QString::fromStdString(p));
    SelCom->setCurrentIndex(SelCom->count() > 0 ? 0 : -1);
    SelSpeed->addItem(QStringLiteral("115200"));
    SelSpeed->addItem(QStringLiteral("230400"));
    SelSpeed->setCurrentIndex(0);

    connect(Start, &QPushButton::clicked, this, &TSettingsForm::StartClick);
    connect(CancelSetBtn, &QPushButton::clicked, this, &TSettingsForm::CancelSetBtnClick);

    // Opening devices can take a while (a Bluetooth link, a driver that waits): the
    // probe runs off the user-interface thread and hands its list back queued. The
    // destructor waits for it, so a late result never reaches a dialog that is gone.
    if (!probe)
        probe = [] { return ListSerialPorts(); };
    probe_ = std::thread([this, probe = std::move(probe)] {
        std::vector<std::string> ports;
        try {
            ports = probe();
        } catch (const std::exception&) {
            // No list: the ports given on the command line remain.
        }
        QMetaObject::invokeMethod(
            this, [this, ports = std::move(ports)] { AddProbedPorts(ports); },
            Qt::QueuedConnection);
    });
}

TSettingsForm::~TSettingsForm() {
    if (probe_.joinable())
        probe_.join();
}

void TSettingsForm::AddProbedPorts(const std::vector<std::string>& ports) {
    for (const std::string& p : ports) {
        const QString name = QString::fromStdString(p);
        if (SelCom->findText(name, Qt::MatchExactly) < 0)
            SelCom->addItem(name);
    }
    // A choice the user has made meanwhile stands.
    if (SelCom->currentIndex() < 0 && SelCom->count() > 0)
        SelCom->setCurrentIndex(0);
    portsProbed_ = true;
}

int TSettingsForm::exec() {
    exitRequested_ = false;
    return TCenteredDialog::exec();
}

void TSettingsForm::StartClick() {
    try {
        const int port = SelCom->currentIndex();
        if (port < 0 || port >= SelCom->count()) {
            throw std::out_of_range("List index out of bounds (" + std::to_string(port) + ")");
        }
        comm_.CommPort = SelCom->itemText(port).toStdString();
        comm_.BaudRate = SelSpeed->currentIndex() == 0 ? 115200 : 230400;
    } catch (const std::exception& e) {
        // The application's general error report; the dialog still closes with OK
        // and the start goes on with the settings the component already had.
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Ошибка"), QString::fromUtf8(e.what()),
                        QMessageBox::Ok, this);
        box.exec();
    }
    done(1);
}

void TSettingsForm::CancelSetBtnClick() {
    exitRequested_ = true;
    done(2);
}

void TSettingsForm::closeEvent(QCloseEvent* event) {
    event->ignore();
}
