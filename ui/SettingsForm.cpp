#include "ui/SettingsForm.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <algorithm>
#include <stdexcept>

#include "app/PortDescriptions.h"
#include "app/WholeFile.h"
#include "serial/Comm32.h"
#include "serial/SerialPorts.h"

namespace orvo {

namespace {

constexpr int kDescriptionRole = Qt::UserRole + 1;

// The open list shows each port's description after its path.
class TPortDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const QString description = index.data(kDescriptionRole).toString();
        if (!description.isEmpty())
            option->text += QStringLiteral(" \u2014 ") + description;
    }
};

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

    QLabel* label1 = AddLabel(tr("Выберите ваш COM порт"), 24, 16, "Label1");
    QLabel* label2 = AddLabel(tr("Выберите скорость:"), 48, 48, "Label2");
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
    Start = AddButton(tr("Старт"), 8, 88, 121, 25, "Start");
    CancelSetBtn = AddButton(tr("Выход"), 160, 88, 121, 25, "CancelSetBtn");
    Start->setDefault(true);

    RefreshBtn = new QToolButton(this);
    RefreshBtn->setObjectName(QStringLiteral("RefreshBtn"));
    RefreshBtn->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    RefreshBtn->setGeometry(Design(269), Design(16), Design(22), SelCom->height());
    RefreshBtn->setToolTip(tr("Обновить"));
    RefreshBtn->setAccessibleName(tr("Обновить"));
    RefreshBtn->setAccessibleDescription(tr("Искать порты заново"));
    SelCom->setItemDelegate(new TPortDelegate(SelCom));
    label1->setBuddy(SelCom);
    label2->setBuddy(SelSpeed);
    SelCom->setAccessibleName(tr("COM порт"));
    SelCom->setAccessibleDescription(label1->text());
    SelSpeed->setAccessibleName(tr("Скорость"));
    SelSpeed->setAccessibleDescription(label2->text());
    Describe = [](const std::string& port) { return PortDescription(port); };

    for (const std::string& p : extraPorts) SelCom->addItem(QString::fromStdString(p));
    givenPorts_ = SelCom->count();
    SelCom->setCurrentIndex(SelCom->count() > 0 ? 0 : -1);
    SelSpeed->addItem(QStringLiteral("115200"));
    SelSpeed->addItem(QStringLiteral("230400"));
    SelSpeed->setCurrentIndex(0);

    connect(Start, &QPushButton::clicked, this, &TSettingsForm::StartClick);
    connect(CancelSetBtn, &QPushButton::clicked, this, &TSettingsForm::CancelSetBtnClick);
    connect(RefreshBtn, &QToolButton::clicked, this, &TSettingsForm::RefreshClick);
    connect(SelCom, &QComboBox::activated, this, [this] { userChose_ = true; });
    connect(SelCom->lineEdit(), &QLineEdit::textEdited, this, [this] { userChose_ = true; });

    // Opening devices can take a while (a Bluetooth link, a driver that waits): the
    // probe runs off the user-interface thread and hands its list back queued. The
    // destructor waits for it, so a late result never reaches a dialog that is gone.
    if (!probe)
        probe = [] { return WithStableNames(ListSerialPorts()); };
    probeFn_ = std::move(probe);
    StartProbe();
}

void TSettingsForm::StartProbe() {
    if (probe_.joinable())
        probe_.join();
    portsProbed_ = false;
    RefreshBtn->setEnabled(false);
    probe_ = std::thread([this, probe = probeFn_] {
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

void TSettingsForm::RefreshClick() {
    if (!portsProbed_)
        return;  // a search is under way
    StartProbe();
}

void TSettingsForm::DescribeItem(int index) {
    if (!Describe)
        return;
    const std::string description = Describe(SelCom->itemText(index).toStdString());
    SelCom->setItemData(index, QString::fromStdString(description), kDescriptionRole);
    SelCom->setItemData(index, QString::fromStdString(description), Qt::ToolTipRole);
}

void TSettingsForm::UseSettings(const QString& file) {
    settingsFile_ = file;
    QSettings settings(file, QSettings::IniFormat);
    rememberedPort_ = settings.value(QStringLiteral("port/path")).toString();
    const int speed = settings.value(QStringLiteral("port/speed")).toInt();
    const int index = SelSpeed->findText(QString::number(speed));
    if (index >= 0)
        SelSpeed->setCurrentIndex(index);
    Preselect();
}

void TSettingsForm::Preselect() {
    // A choice the user has made stands (and so does a typed path).
    if (rememberedPort_.isEmpty() || preselected_ || userChose_)
        return;
    int index = SelCom->findText(rememberedPort_, Qt::MatchExactly);
    if (index < 0) {
        if (!QFileInfo::exists(rememberedPort_))
            return;  // unplugged, or a terminal that is gone
        index = givenPorts_;
        SelCom->insertItem(index, rememberedPort_);
        DescribeItem(index);
    }
    // A port given for this run (--port) is chosen over the remembered one.
    if (givenPorts_ > 0 && index >= givenPorts_)
        return;
    SelCom->setCurrentIndex(index);
    preselected_ = true;
}

TSettingsForm::~TSettingsForm() {
    if (probe_.joinable())
        probe_.join();
}

void TSettingsForm::AddProbedPorts(const std::vector<std::string>& ports) {
    const QString shown = SelCom->currentText();
    const int before = SelCom->currentIndex();
    for (const std::string& p : ports) {
        const QString name = QString::fromStdString(p);
        if (SelCom->findText(name, Qt::MatchExactly) < 0)
            SelCom->addItem(name);
    }
    for (int i = 0; i < SelCom->count(); ++i) DescribeItem(i);
    // The remembered port is taken once it is there, unless the user chose meanwhile.
    Preselect();
    if (SelCom->currentIndex() < 0 && SelCom->count() > 0)
        SelCom->setCurrentIndex(0);
    if (before >= 0 && SelCom->currentText() != shown && userChose_)
        SelCom->setEditText(shown);
    portsProbed_ = true;
    RefreshBtn->setEnabled(true);
}

int TSettingsForm::exec() {
    exitRequested_ = false;
    Preselect();  // the remembered port may have been plugged in since
    return TCenteredDialog::exec();
}

void TSettingsForm::StartClick() {
    try {
        // A path typed into the box is used as it is; else the entry chosen.
        const QString typed = SelCom->currentText().trimmed();
        const int port = SelCom->currentIndex();
        if (typed.startsWith(QLatin1Char('/')) && (port < 0 || typed != SelCom->itemText(port))) {
            comm_.CommPort = typed.toStdString();
        } else {
            if (port < 0 || port >= SelCom->count()) {
                throw std::out_of_range("List index out of bounds (" + std::to_string(port) + ")");
            }
            comm_.CommPort = SelCom->itemText(port).toStdString();
        }
        comm_.BaudRate = SelSpeed->currentIndex() == 0 ? 115200 : 230400;
        if (!settingsFile_.isEmpty()) {
            rememberedPort_ = QString::fromStdString(comm_.CommPort);
            // A file that cannot be written whole keeps the settings before.
            QString error;
            if (!SaveSettings(settingsFile_,
                              {{QStringLiteral("port/path"), rememberedPort_},
                               {QStringLiteral("port/speed"), QString::number(comm_.BaudRate)}},
                              error))
                throw std::runtime_error(tr("Установки не сохранены: %1").arg(error).toStdString());
        }
    } catch (const std::exception& e) {
        // The application's general error report; the dialog still closes with OK
        // and the start goes on with the settings the component already had.
        QMessageBox box(QMessageBox::NoIcon, tr("Ошибка"), QString::fromUtf8(e.what()),
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

}  // namespace orvo
