#include "ui/MainForm.h"

#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFileSystemModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWindow>
#include <algorithm>
#include <cstdio>

#include "app/FolderPaths.h"
#include "app/MessageTexts.h"
#include "app/PaneSelection.h"
#include "app/PhoneLink.h"
#include "app/TransferMeter.h"
#include "app/WorkPanes.h"
#include "engine/FileOperations.h"
#include "engine/Navigation.h"
#include "engine/ReceiveHandler.h"
#include "phonefs/PhoneTree.h"
#include "serial/Comm32.h"
#include "serial/SerialPorts.h"
#include "ui/AboutForm.h"
#include "ui/ComputerPane.h"
#include "ui/FileExistForm.h"
#include "ui/FormActions.h"
#include "ui/FormPlacement.h"
#include "ui/PhoneJobsMenu.h"
#include "ui/PhoneList.h"
#include "ui/ProcessForm.h"
#include "ui/RenameForm.h"
#include "ui/SettingsForm.h"

namespace orvo {

namespace {

// Message boxes are not children of the main window (a disabled main window would
// disable its child windows): they are placed over it and kept in front of it.
void PlaceOver(QMessageBox& box, QWidget* owner) {
    box.setWindowModality(Qt::ApplicationModal);
    if (owner && owner->isVisible()) {
        box.winId();
        if (box.windowHandle() && owner->windowHandle()) {
            box.windowHandle()->setTransientParent(owner->windowHandle());
        }
        box.adjustSize();
        QRect r = box.frameGeometry();
        r.moveCenter(owner->frameGeometry().center());
        box.move(r.topLeft());
    }
}

}  // namespace

void ShowMessageBox(QWidget* owner, const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok);
    PlaceOver(box, owner);
    box.exec();
}

TForm1::TForm1(const ProgramOptions& options)
    : QMainWindow(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      traceFile_(options.trace) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("OrvoFileManager v0.1b"));
    setMinimumSize(Design(QSize(600, 420)));
    setMaximumSize(Design(QSize(1200, 840)));
    resize(Design(QSize(600, 420)));

    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("Client"));
    setCentralWidget(client_);
    client_->installEventFilter(this);

    Source = new TShellList(client_);
    anchored_.push_back({Source, QRect(0, 24, 217, 281), true, true, true, true});
    ListPhone = new TPhoneList(client_);
    anchored_.push_back({ListPhone, QRect(224, 24, 368, 281), false, true, true, true});

    // The operations, each one action; the buttons show theirs.
    BuildActions();
    ParentCompBtn =
        AddButton(UpComp1, QRect(0, 0, 214, 17), true, true, true, false, "ParentCompBtn");
    ParentPhoneBtn =
        AddButton(UpPhone1, QRect(224, 0, 369, 17), false, true, true, false, "ParentPhoneBtn");
    CopyToPhoneBtn =
        AddButton(CopyToPhone1, QRect(0, 312, 97, 20), true, false, true, true, "CopyToPhoneBtn");
    CopyToCompBtn =
        AddButton(CopyToComp1, QRect(232, 312, 65, 20), false, false, true, true, "CopyToCompBtn");
    RenameBtn =
        AddButton(RenamePhone1, QRect(304, 312, 65, 20), false, false, true, true, "RenameBtn");
    CompileJavaBtn = AddButton(CompileJava1, QRect(376, 312, 65, 20), false, false, true, true,
                               "CompileJavaBtn");
    RescanBtn =
        AddButton(RereadPhone1, QRect(448, 312, 65, 20), false, false, true, true, "RescanBtn");
    DeleteBtn =
        AddButton(DeletePhone1, QRect(520, 312, 65, 20), false, false, true, true, "DeleteBtn");

    StatusPanel = new QLabel(QStringLiteral("Orvo"));
    StatusPanel->setObjectName(QStringLiteral("StatusPanel"));
    StatusPanel->setMinimumWidth(150);
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->addWidget(StatusPanel, 1);
    // Room for a whole line of text in the desktop's font.
    statusBar()->setMinimumHeight(std::max(19, statusBar()->sizeHint().height()));
    SelectionPanel = new QLabel;
    SelectionPanel->setObjectName(QStringLiteral("SelectionPanel"));
    statusBar()->addPermanentWidget(SelectionPanel);

    // The computer pane's folder, above the panes: typed in, or home at a click.
    PathBar = new QToolBar(tr("Путь"), this);
    PathBar->setObjectName(QStringLiteral("PathBar"));
    PathBar->setMovable(false);
    PathBar->setFloatable(false);
    PathBar->toggleViewAction()->setVisible(false);
    HomeBtn = new QToolButton(PathBar);
    HomeBtn->setObjectName(QStringLiteral("HomeBtn"));
    HomeBtn->setText(HomeComp1->iconText());
    HomeBtn->setFocusPolicy(Qt::TabFocus);
    ShowAction(HomeBtn, HomeComp1);
    HomeBtn->setAccessibleName(tr("Домашняя папка"));
    PathEdit = new QLineEdit(PathBar);
    PathEdit->setObjectName(QStringLiteral("PathEdit"));
    PathEdit->setAccessibleName(tr("Папка компьютера"));
    PathEdit->setAccessibleDescription(
        tr("Путь к папке, открытой на компьютере; Enter открывает введённую папку"));
    PathBar->addWidget(HomeBtn);
    PathBar->addWidget(PathEdit);
    addToolBar(Qt::TopToolBarArea, PathBar);
    setContextMenuPolicy(Qt::NoContextMenu);

    BuildMenu();
    PhoneJobs = new TPhoneJobsMenu(*this);

    // The link to the phone, shared with the command-line program, owns the
    // watchdog and the serial port component: received blocks, the watchdog's
    // expiry and a pulled cable reach the core through it.
    link_ = std::make_unique<PhoneLink>(session_);
    Timer1 = &link_->Watchdog();
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Comm321 = &link_->Comm();
    Comm321->setObjectName(QStringLiteral("Comm321"));
    Comm321->BaudRate = 115200;
    Comm321->Bits = 8;
    Comm321->StopBits = 1;
    Comm321->CommPort = "COM3";
    Comm321->ReadInterval = 25;
    // A trace that cannot be written (a full disk) ends, and the user hears of it.
    link_->OnTraceFailed([this](const std::string& reason) {
        const std::string path = link_->TracePath();
        QTimer::singleShot(0, this, [this, path, reason] {
            TraceLine1->setChecked(false);
            TraceLine1->setStatusTip(QString());
            MessageBox(
                tr("Невозможно записать файл %1").arg(QString::fromStdString(path)).toStdString() +
                    "\r\n" + reason,
                tr("Ошибка").toStdString());
        });
    });
    if (!traceFile_.empty()) {
        std::string reason;
        if (link_->StartTrace(traceFile_, "orvo-fm", reason)) {
            TraceLine1->setChecked(true);
            TraceLine1->setStatusTip(QString::fromStdString(traceFile_));
        } else {
            std::fprintf(stderr, "orvo-fm: cannot write the trace %s: %s\n", traceFile_.c_str(),
                         reason.c_str());
        }
    }

    connect(ListPhone, &TPhoneList::DblClick, this, &TForm1::ListPhoneDblClick);
    connect(PathEdit, &QLineEdit::returnPressed, this, &TForm1::PathEditReturn);
    connect(Source, &TShellList::FolderChanged, this, [this] {
        UpdatePathEdit();
        UpdatePaneNames();
        UpdateSelectionPanel();
    });
    connect(Source, &TShellList::PhoneFilesDropped, this, &TForm1::DownloadDropped);
    connect(ListPhone, &TPhoneList::FilesDropped, this, &TForm1::UploadDropped);
    connect(ListPhone->Rows(), &QAbstractItemModel::modelReset, this, [this] {
        UpdatePaneNames();
        UpdateSelectionPanel();
    });
    connect(Source->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TForm1::UpdateSelectionPanel);
    connect(ListPhone->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TForm1::UpdateSelectionPanel);
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { FocusChanged(now); });
    // Tab goes from one pane to the other.
    Source->installEventFilter(this);
    ListPhone->installEventFilter(this);

    // Names for screen readers: the two "Назад" buttons say which pane they serve
    // (the buttons' descriptions are their actions').
    ParentCompBtn->setAccessibleName(tr("Назад, компьютер"));
    ParentPhoneBtn->setAccessibleName(tr("Назад, телефон"));
    Source->setAccessibleDescription(tr("Файлы и папки компьютера"));
    ListPhone->setAccessibleDescription(tr("Файлы и папки телефона"));
    // The panels are heard with what they show: their text is their name.
    StatusPanel->setAccessibleDescription(tr("Состояние"));
    SelectionPanel->setAccessibleDescription(tr("Выделено"));
    Source->setContextMenuPolicy(Qt::ActionsContextMenu);
    ListPhone->setContextMenuPolicy(Qt::ActionsContextMenu);

    session_.Ui = this;
    session_.PhonePane = ListPhone;
    session_.Source = Source;

    // The secondary windows, in this order; the settings dialog finds the ports.
    RenameForm = std::make_unique<TRenameForm>(this);
    AboutForm = std::make_unique<TAboutForm>(this);
    FileExistForm = std::make_unique<TFileExistForm>(this);
    SettingsForm = std::make_unique<TSettingsForm>(this, *Comm321, options.ports);
    if (!options.settingsFile.empty())
        SettingsForm->UseSettings(QString::fromStdString(options.settingsFile));
    ProcessForm = std::make_unique<TProcessForm>(this, session_);
    session_.ProgressSink = ProcessForm.get();

    OnExit = [] { QCoreApplication::quit(); };
    UpdatePathEdit();
    UpdatePaneNames();
    UpdateSelectionPanel();
    LayoutControls();
    Source->setFocus();
}

TForm1::~TForm1() {
    // The widgets go after this body has run: nothing they signal reaches the
    // half-destroyed window (focus moves, selections end as they go).
    QObject::disconnect(qApp, nullptr, this, nullptr);
    for (QObject* o :
         std::initializer_list<QObject*>{Source, Source->selectionModel(), ListPhone,
                                         ListPhone->selectionModel(), ListPhone->Rows()}) {
        o->disconnect(this);
        o->removeEventFilter(this);
    }
    // The reader and writer threads must be gone before the component is.
    Comm321->Close();
    Timer1->stop();
    session_.Ui = nullptr;
    session_.ProgressSink = nullptr;
    session_.Port = nullptr;
    session_.PhonePane = nullptr;
    session_.Source = nullptr;
}

QPushButton* TForm1::AddButton(TFormAction* action, const QRect& design, bool left, bool top,
                               bool right, bool bottom, const char* name) {
    const QString text = action->iconText();
    auto* button = new QPushButton(text, client_);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    FitText(button, text, Design(design.width()) - 6);
    ShowAction(button, action);
    anchored_.push_back({button, design, left, top, right, bottom});
    return button;
}

void TForm1::BuildMenu() {
    FileMenu = menuBar()->addMenu(tr("Файл"));
    FileMenu->setObjectName(QStringLiteral("FileMenu"));
    Settings1 = FileMenu->addAction(tr("Установки"));
    Settings1->setObjectName(QStringLiteral("Settings1"));
    Exit1 = FileMenu->addAction(tr("Выход"));
    Exit1->setObjectName(QStringLiteral("Exit1"));

    Actions1 = menuBar()->addMenu(tr("Действия"));
    Actions1->setObjectName(QStringLiteral("Actions1"));
    Actions1->addAction(CompileJava1);

    Help1 = menuBar()->addMenu(tr("Помощь"));
    Help1->setObjectName(QStringLiteral("Help1"));
    Help2 = Help1->addAction(tr("Помощь"));
    Help2->setObjectName(QStringLiteral("Help2"));
    TraceLine1 = Help1->addAction(tr("Записывать обмен с телефоном"));
    TraceLine1->setObjectName(QStringLiteral("TraceLine1"));
    TraceLine1->setCheckable(true);
    About1 = Help1->addAction(tr("О программе"));
    About1->setObjectName(QStringLiteral("About1"));
    About1->setStatusTip(tr("Информация о программе"));
    About1->setToolTip(tr("Информация о программе"));

    connect(Settings1, &QAction::triggered, this, &TForm1::Settings1Click);
    connect(Exit1, &QAction::triggered, this, &TForm1::Exit1Click);
    connect(Help2, &QAction::triggered, this, &TForm1::Help2Click);
    connect(TraceLine1, &QAction::triggered, this, &TForm1::TraceLine1Click);
    connect(About1, &QAction::triggered, this, &TForm1::About1Click);
}

void TForm1::LayoutControls() {
    const int dx = client_->width() - Design(kDesignWidth);
    const int dy = client_->height() - Design(kDesignHeight);
    for (const Anchored& a : anchored_) {
        QRect r = Design(a.design);
        if (a.right) {
            if (a.left) {
                r.setWidth(r.width() + dx);
            } else {
                r.translate(dx, 0);
            }
        }
        if (a.bottom) {
            if (a.top) {
                r.setHeight(r.height() + dy);
            } else {
                r.translate(0, dy);
            }
        }
        // The design's right-hand button ends a pixel past its client area; that
        // pixel is kept, but it must not grow with the font.
        if (r.right() > client_->width())
            r.setRight(client_->width());
        a.widget->setGeometry(r);
    }
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == client_ && event->type() == QEvent::Resize)
        LayoutControls();
    if ((watched == Source || watched == ListPhone) && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool plain = !(key->modifiers() & ~Qt::ShiftModifier);
        if (plain && (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)) {
            QWidget* other = watched == Source ? static_cast<QWidget*>(ListPhone) : Source;
            other->setFocus(key->key() == Qt::Key_Tab ? Qt::TabFocusReason
                                                      : Qt::BacktabFocusReason);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TForm1::event(QEvent* event) {
    if (event->type() == QEvent::StatusTip) {
        // The long part of the hint under the mouse replaces the panel's text; when
        // the mouse leaves it, the panel shows the program's own status again.
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        StatusPanel->setText(tip.isEmpty() ? IdleStatus() : tip);
        return true;
    }
    return QMainWindow::event(event);
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shownOnce_)
        return;
    shownOnce_ = true;
    if (QScreen* screen = this->screen()) {
        QRect r = frameGeometry();
        r.moveCenter(screen->availableGeometry().center());
        move(r.topLeft());
    }
    // Queued, so that the window is on the screen before the settings dialog.
    QTimer::singleShot(0, this, &TForm1::FormCreate);
}

void TForm1::closeEvent(QCloseEvent* event) {
    // FormCloseQuery: closing mid-operation needs the user's yes; the port is
    // released first. After "Выход" (menu or settings) the question was settled.
    if (!exitRequested_ && !ConfirmExit()) {
        event->ignore();
        return;
    }
    exitRequested_ = true;  // a settings dialog still queued never comes up
    session_.TimerOff();
    Comm321->Close();
    ProcessForm->hide();
    event->accept();
}

bool TForm1::OperationRunning() const {
    return Comm321->IsOpen() &&
           (session_.CurrentOperation != OperationState::Idle || session_.Progress.Visible);
}

bool TForm1::ConfirmExit() {
    if (!OperationRunning())
        return true;
    QMessageBox box(QMessageBox::Question, tr("Подтверждение"), tr("Операция не завершена. Выйти?"),
                    QMessageBox::NoButton);
    QPushButton* yes = box.addButton(tr("Да"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(tr("Нет"), QMessageBox::NoRole);
    yes->setObjectName(QStringLiteral("Yes"));
    no->setObjectName(QStringLiteral("No"));
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    PlaceOver(box, this);
    // The operation goes on while the question is up; should the line be lost
    // meanwhile, the settings dialog waits until the question is answered.
    askingExit_ = true;
    box.exec();
    askingExit_ = false;
    if (box.clickedButton() != yes) {
        if (restartPending_) {
            restartPending_ = false;
            QTimer::singleShot(0, this, &TForm1::FormCreate);
        }
        return false;
    }
    restartPending_ = false;
    // The operation may have ended while the question was up; ending it again is
    // harmless. Nothing more arrives once the port is closed.
    session_.TimerOff();
    Comm321->Close();
    session_.LocalFile.Close();  // a partial download never gets its name
    Guarded([this] { NoteRenameRescue(session_); });
    return true;
}

void TForm1::FormCreate() {
    if (inFormCreate_ || exitRequested_)
        return;
    inFormCreate_ = true;
    for (;;) {
        session_.TimerOff();
        SettingsForm->exec();
        // A signal that ended the program meanwhile ended the dialog too.
        if (SettingsForm->ExitRequested() || exitRequested_) {
            inFormCreate_ = false;
            ExitProgram();
            return;
        }
        std::string reason;
        if (link_->Open(Comm321->CommPort, Comm321->BaudRate, reason)) {
            orvo::InitialisePhone(session_);
            break;
        }
        MessageBox(reason.empty() ? tr("Невозможно открыть порт").toStdString()
                                  : tr("Невозможно открыть порт").toStdString() + "\r\n" + reason,
                   tr("Ошибка").toStdString());
    }
    inFormCreate_ = false;
}

void TForm1::EndBySignal(int) {
    // The same clean-up as "Да": the port closes, a partial download goes, a rename
    // broken off after its erase keeps its bytes in the rescue folder (said on
    // stderr, for nobody may be looking), the trace gets its last records.
    exitRequested_ = true;
    endedBySignal_ = true;
    askingExit_ = false;
    link_->Abandon();
    ProcessForm->hide();
    ExitProgram();
}

void TForm1::ExitProgram() {
    exitRequested_ = true;
    session_.TimerOff();
    if (OnExit)
        OnExit();
}

void TForm1::Settings1Click() {
    Guarded([this] {
        Comm321->Close();
        FormCreate();
    });
}

void TForm1::Exit1Click() {
    if (!ConfirmExit())
        return;
    ExitProgram();
}

void TForm1::About1Click() {
    AboutForm->exec();
}

void TForm1::Help2Click() {
    // The key list is made from the pane actions: their keys and their key words.
    const auto entry = [this](const char* name) {
        const auto* action = findChild<TFormAction*>(QString::fromLatin1(name));
        return action ? KeyEntryOf(action) : KeyListEntry{};
    };
    const QList<KeyListEntry> keys{entry("OpenComp1"),
                                   entry("OpenPhone1"),
                                   entry("UpComp1"),
                                   entry("UpPhone1"),
                                   {QStringLiteral("Tab"), tr("другая панель")},
                                   entry("CopyToPhone1"),
                                   entry("CopyToComp1"),
                                   entry("RenamePhone1"),
                                   entry("DeletePhone1"),
                                   entry("RereadComp1"),
                                   entry("RereadPhone1"),
                                   entry("SelectAllComp1"),
                                   entry("SelectAllPhone1"),
                                   {tr("буква"), tr("к строке на эту букву")},
                                   entry("ShowHidden1"),
                                   entry("HomeComp1")};
    MessageBox((tr("Слева - файлы компьютера, справа - папка телефона.\n"
                   "Двойной щелчок открывает папку, \"Назад\" ведёт в папку выше.\n"
                   "\"Копировать -->\" записывает выделенные слева файлы в открытую папку "
                   "телефона (в корень, Sounds, Images и My Photos файлы не копируются).\n"
                   "\"<-- Копия\" сохраняет выделенные файлы телефона в папку, открытую слева.\n"
                   "Порт и скорость меняются в меню Файл - Установки.\n"
                   "Файлы можно перетаскивать между панелями и из других программ на панель "
                   "телефона.") +
                QStringLiteral("\n\n") +
                tr("Клавиши (в панели, где курсор; то же в меню правой кнопки мыши):") +
                QStringLiteral("\n") + KeyList(keys))
                   .toStdString(),
               tr("Помощь").toStdString());
}

QString TForm1::DefaultTraceFolder() {
    // Beside the files a broken-off rename keeps: $XDG_DATA_HOME/orvo-fm.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/orvo-fm/traces");
}

void TForm1::TraceLine1Click(bool on) {
    if (!on) {
        const std::string path = link_->TracePath();
        link_->StopTrace();
        TraceLine1->setStatusTip(QString());
        MessageBox(tr("Обмен с телефоном записан в файл").toStdString() + "\r\n" + path,
                   tr("Информация").toStdString());
        return;
    }
    std::string path = traceFile_;
    if (path.empty()) {
        path = (DefaultTraceFolder() + QStringLiteral("/orvo-fm-trace-") +
                QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")) +
                QStringLiteral(".txt"))
                   .toStdString();
    }
    std::string reason;
    if (!link_->StartTrace(path, "orvo-fm", reason)) {
        TraceLine1->setChecked(false);
        MessageBox(
            tr("Невозможно записать файл %1").arg(QString::fromStdString(path)).toStdString() +
                "\r\n" + reason,
            tr("Ошибка").toStdString());
        return;
    }
    TraceLine1->setStatusTip(QString::fromStdString(path));
}

// The operation buttons: each turns the panes' selections into a job.
void TForm1::CopyToPhoneBtnClick() {
    Guarded([this] { orvo::UploadSelectedFiles(session_); });
}

void TForm1::CopyToCompBtnClick() {
    Guarded([this] { orvo::DownloadSelectedFiles(session_); });
}

void TForm1::DeleteBtnClick() {
    Guarded([this] { orvo::EraseSelectedFiles(session_); });
}

void TForm1::RenameBtnClick() {
    Guarded([this] { orvo::RenameSelectedFile(session_); });
}

void TForm1::RescanBtnClick() {
    Guarded([this] { orvo::RereadFolder(session_); });
}

void TForm1::CompileJava1Click() {
    Guarded([this] { orvo::RebuildJavaRegistry(session_); });
}

void TForm1::ParentCompBtnClick() {
    Guarded([this] { Source->GoUp(); });
}

void TForm1::ParentPhoneBtnClick() {
    Guarded([this] { orvo::OpenParentFolder(session_); });
}

void TForm1::ListPhoneDblClick() {
    Guarded([this] { orvo::OpenSelectedFolder(session_); });
}

void TForm1::Timer1Timer() {
    Guarded([this] { orvo::WatchdogExpired(session_); });
}

void TForm1::Guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        ShowError(e.what());
    }
}

void TForm1::ShowError(const std::string& text) {
    MessageBox(text, tr("Ошибка").toStdString());
}

// ---------------------------------------------------------------------------
// The seams the protocol core reaches the window through.

void TForm1::MessageBox(const std::string& text, const std::string& caption) {
    if (endedBySignal_) {
        std::fprintf(stderr, "orvo-fm: %s\n", text.c_str());
        return;
    }
    ShowMessageBox(this, QString::fromStdString(text), QString::fromStdString(caption));
    ReturnFocus();
}

void TForm1::Report(const Message& message) {
    // A whole-phone job lists its failures in one summary box at its end.
    if (session_.Steps.active)
        return;
    ShowMessageBox(this, Words(message), CaptionWords(message));
    ReturnFocus();
}

ModalResult TForm1::FileExistDialog(const std::string& oldName, std::string& newName) {
    QString edited = QString::fromStdString(newName);
    const auto result =
        static_cast<ModalResult>(FileExistForm->Ask(QString::fromStdString(oldName), edited));
    newName = edited.toStdString();
    ReturnFocus();
    return result;
}

ModalResult TForm1::RenameDialog(std::string& name) {
    QString edited = QString::fromStdString(name);
    const auto result = static_cast<ModalResult>(RenameForm->Ask(edited));
    if (result == ModalResult::Ok)
        name = edited.toStdString();
    ReturnFocus();
    return result;
}

void TForm1::ProgressChanged() {
    ProcessForm->Render(session_.Progress);
}

void TForm1::MainWindowChanged() {
    setEnabled(session_.MainWindow.Enabled);
    StatusPanel->setText(IdleStatus());
    if (session_.MainWindow.Enabled && !wasEnabled_)
        ReturnFocus();
    wasEnabled_ = session_.MainWindow.Enabled;
}

void TForm1::RestartConnection() {
    // Queued: the watchdog that asks for it finishes before the settings dialog.
    QTimer::singleShot(0, this, [this] {
        if (askingExit_)
            restartPending_ = true;
        else
            FormCreate();
    });
}

// ---------------------------------------------------------------------------
// The keyboard, the context menus, the path bar and the status bar.

TFormAction* TForm1::AddPaneAction(QWidget* pane, QList<QAction*>& list, const QString& text,
                                   const QList<QKeySequence>& keys, const char* name,
                                   const std::function<void()>& handler) {
    auto* action = new TFormAction(text, pane);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcuts(keys);
    // Only while the pane has the keyboard: the keys mean that pane's operations.
    action->setShortcutContext(Qt::WidgetShortcut);
    action->setShortcutVisibleInContextMenu(true);
    connect(action, &QAction::triggered, this, handler);
    pane->addAction(action);
    list << action;
    return action;
}

void TForm1::BuildActions() {
    const QList<QKeySequence> open{QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)};
    const QList<QKeySequence> up{QKeySequence(Qt::Key_Backspace),
                                 QKeySequence(Qt::ALT | Qt::Key_Up)};
    const QList<QKeySequence> reread{QKeySequence(Qt::CTRL | Qt::Key_R)};
    const QList<QKeySequence> all{QKeySequence(Qt::CTRL | Qt::Key_A)};
    const QString upHint = tr("На каталог выше|Переход в надкаталог");

    // The computer pane's, in the order of its context menu.
    TFormAction* a = AddPaneAction(Source, ComputerActions, tr("Открыть папку"), open, "OpenComp1",
                                   [this] { OpenComputerItem(); });
    a->KeyWords = tr("открыть папку");
    UpComp1 = AddPaneAction(Source, ComputerActions, tr("Папка выше"), up, "UpComp1",
                            [this] { ParentCompBtnClick(); });
    UpComp1->setIconText(tr("Назад"));
    UpComp1->SetHint(upHint);
    UpComp1->Description = tr("Перейти в папку выше на компьютере");
    UpComp1->KeyWords = tr("папка выше");
    HomeComp1 =
        AddPaneAction(Source, ComputerActions, tr("Домашняя папка"),
                      {QKeySequence(Qt::ALT | Qt::Key_Home)}, "HomeComp1", [this] { GoHome(); });
    HomeComp1->setIconText(tr("Домой"));
    HomeComp1->SetHint(tr("Домашняя папка (Alt+Home)|Перейти в домашнюю папку"));
    HomeComp1->Description = tr("Открыть домашнюю папку на компьютере");
    HomeComp1->KeyWords = tr("домашняя папка");
    CopyToPhone1 = AddPaneAction(Source, ComputerActions, tr("Копировать на телефон"),
                                 {QKeySequence(Qt::Key_F5)}, "CopyToPhone1",
                                 [this] { CopyToPhoneBtnClick(); });
    CopyToPhone1->setIconText(tr("Копировать -->"));
    CopyToPhone1->SetHint(tr("Копировать на правую панель"));
    CopyToPhone1->Description = tr("Копировать выделенные файлы компьютера в папку телефона");
    CopyToPhone1->KeyWords = tr("копировать в другую панель");
    a = AddPaneAction(Source, ComputerActions, tr("Перечитать"), reread, "RereadComp1",
                      [this] { Source->Refresh(); });
    a->KeyWords = tr("перечитать");
    a = AddPaneAction(Source, ComputerActions, tr("Выделить всё"), all, "SelectAllComp1",
                      [this] { Source->selectAll(); });
    a->KeyWords = tr("выделить всё");
    ShowHidden1 = AddPaneAction(Source, ComputerActions, tr("Показывать скрытые файлы"),
                                {QKeySequence(Qt::CTRL | Qt::Key_H)}, "ShowHidden1", [] {});
    ShowHidden1->setCheckable(true);
    ShowHidden1->KeyWords = tr("скрытые файлы компьютера");
    connect(ShowHidden1, &QAction::toggled, this, &TForm1::ShowHiddenToggled);

    // The phone pane's.
    a = AddPaneAction(ListPhone, PhoneActions, tr("Открыть папку"), open, "OpenPhone1",
                      [this] { OpenPhoneItem(); });
    a->KeyWords = tr("открыть папку");
    UpPhone1 = AddPaneAction(ListPhone, PhoneActions, tr("Папка выше"), up, "UpPhone1",
                             [this] { ParentPhoneBtnClick(); });
    UpPhone1->setIconText(tr("Назад"));
    UpPhone1->SetHint(upHint);
    UpPhone1->Description = tr("Перейти в папку выше на телефоне");
    UpPhone1->KeyWords = tr("папка выше");
    CopyToComp1 =
        AddPaneAction(ListPhone, PhoneActions, tr("Копировать на компьютер"),
                      {QKeySequence(Qt::Key_F5)}, "CopyToComp1", [this] { CopyToCompBtnClick(); });
    CopyToComp1->setIconText(tr("<-- Копия"));
    CopyToComp1->SetHint(
        tr("Копировать на левую панель|Копировать выделенные файлы на левую панель"));
    CopyToComp1->Description = tr("Копировать выделенные файлы телефона в папку компьютера");
    CopyToComp1->KeyWords = tr("копировать в другую панель");
    RenamePhone1 =
        AddPaneAction(ListPhone, PhoneActions, tr("Переименовать"), {QKeySequence(Qt::Key_F2)},
                      "RenamePhone1", [this] { RenameBtnClick(); });
    RenamePhone1->setIconText(tr("Переимен."));
    RenamePhone1->SetHint(tr("Переименовать файл"));
    RenamePhone1->Description = tr("Переименовать файл телефона");
    RenamePhone1->KeyWords = tr("переименовать файл телефона");
    DeletePhone1 = AddPaneAction(ListPhone, PhoneActions, tr("Удалить"),
                                 {QKeySequence(Qt::Key_Delete), QKeySequence(Qt::Key_F8)},
                                 "DeletePhone1", [this] { DeleteBtnClick(); });
    DeletePhone1->SetHint(tr("Удалить файл|Удалить выделенные файлы"));
    DeletePhone1->Description = tr("Удалить выделенные файлы телефона");
    DeletePhone1->KeyWords = tr("удалить файлы телефона");
    RereadPhone1 = AddPaneAction(ListPhone, PhoneActions, tr("Перечитать"), reread, "RereadPhone1",
                                 [this] { RescanBtnClick(); });
    RereadPhone1->Description = tr("Перечитать папку телефона");
    RereadPhone1->KeyWords = tr("перечитать");
    a = AddPaneAction(ListPhone, PhoneActions, tr("Выделить всё"), all, "SelectAllPhone1",
                      [this] { ListPhone->selectAll(); });
    a->KeyWords = tr("выделить всё");

    // The Java registry, from the "Действия" menu and its button.
    CompileJava1 = new TFormAction(QStringLiteral("CompileJava"), this);
    CompileJava1->setObjectName(QStringLiteral("CompileJava1"));
    CompileJava1->setIconText(QStringLiteral("Compile Java"));
    CompileJava1->SetHint(tr("Компилировать JAVA"));
    CompileJava1->Description = tr("Компилировать JAVA");
    connect(CompileJava1, &QAction::triggered, this, &TForm1::CompileJava1Click);
}

void TForm1::OpenComputerItem() {
    Guarded([this] { Source->OpenCurrent(); });
}

void TForm1::OpenPhoneItem() {
    Guarded([this] {
        // The folder under the cursor; a file row does nothing.
        const int row = ListPhone->CurrentRow();
        if (row < 0 || ListPhone->Image(row) != 0)
            return;
        ListPhone->clearSelection();
        ListPhone->SetSelected(row, true);
        orvo::OpenSelectedFolder(session_);
    });
}

void TForm1::GoHome() {
    Guarded([this] { Source->SetFolder(QDir::homePath()); });
}

void TForm1::PathEditReturn() {
    QString path = PathEdit->text().trimmed();
    if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/")))
        path = QDir::homePath() + path.mid(1);
    if (!Source->SetFolder(path)) {
        const QString typed = PathEdit->text();
        UpdatePathEdit();
        ShowMessageBox(this, tr("Папка не найдена:\n") + typed, tr("Ошибка"));
        PathEdit->setFocus();
        return;
    }
    Source->setFocus();
}

void TForm1::ShowHiddenToggled(bool show) {
    Source->SetShowHidden(show);
    UpdateSelectionPanel();
}

void TForm1::UploadDropped(const QStringList& paths) {
    Guarded([this, &paths] {
        if (!session_.CurrentFolder || !session_.Source || !isEnabled())
            return;
        WorkList work = SelectedComputerFiles(session_);
        work.localPaths.clear();
        for (const QString& p : paths) work.localPaths.push_back(p.toStdString());
        orvo::UploadFiles(session_, std::move(work));
    });
}

void TForm1::DownloadDropped(const std::vector<Bytes>& names, const QString& folder) {
    Guarded([this, &names, &folder] {
        if (!session_.CurrentFolder || !session_.PhonePane || !isEnabled())
            return;
        WorkList work = SelectedPhoneFiles(session_);
        // Only files of the folder shown: the data may come from anywhere.
        work.phoneNames.clear();
        for (const Bytes& name : names) {
            for (int i = 0; i < ListPhone->Count(); ++i) {
                if (ListPhone->Image(i) != 0 && ListPhone->Caption(i) == name) {
                    work.phoneNames.push_back(name);
                    break;
                }
            }
        }
        if (work.phoneNames.empty())
            return;
        work.localFolder = folder.toStdString();
        work.onEnded = [this](const JobResult&) {
            if (session_.Source)
                session_.Source->Refresh();
        };
        orvo::DownloadFiles(session_, std::move(work));
    });
}

void TForm1::ReturnFocus() {
    // After an operation or a question the keyboard is back in the pane it came from.
    // The pane is the one of the moment the return comes: should the user have put
    // the keyboard into the other pane meanwhile, it stays there.
    QTimer::singleShot(0, this, [this] {
        QWidget* pane = lastPane_;
        if (!pane || !isEnabled() || QApplication::activeModalWidget())
            return;
        if (isVisible() && !isActiveWindow())
            activateWindow();
        pane->setFocus(Qt::OtherFocusReason);
    });
}

void TForm1::FocusChanged(QWidget* now) {
    if (now == Source || now == ListPhone) {
        lastPane_ = now;
        UpdateSelectionPanel();
    } else if (now == PathEdit || now == HomeBtn) {
        lastPane_ = Source;
        UpdateSelectionPanel();
    }
}

void TForm1::UpdatePaneNames() {
    Source->setAccessibleName(tr("Компьютер"));
    QString folder = QStringLiteral("/");
    if (session_.CurrentFolder)
        folder = QString::fromStdString(FolderPathOf(session_.CurrentFolder));
    ListPhone->setAccessibleName(tr("Телефон: ") + folder);
}

void TForm1::UpdatePathEdit() {
    const QString path = QString::fromStdString(Source->FolderPath());
    if (PathEdit->text() != path)
        PathEdit->setText(path);
}

void TForm1::UpdateSelectionPanel() {
    int count = 0;
    int64_t bytes = 0;
    if (lastPane_ == ListPhone) {
        for (int i = 0; i < ListPhone->Count(); ++i) {
            if (ListPhone->Selected(i)) {
                ++count;
                if (ListPhone->Image(i) != 0)
                    bytes += std::atoll(ListPhone->SizeText(i).c_str());
            }
        }
    } else {
        count = Source->SelCount();
        bytes = Source->SelectedBytes();
    }
    SelectionPanel->setText(
        count == 0
            ? QString()
            : tr("Выделено: %1, %2").arg(count).arg(QString::fromStdString(FormatBytes(bytes))));
}

QString TForm1::IdleStatus() const {
    if (session_.MainWindow.Enabled && session_.CurrentOperation == OperationState::Idle &&
        session_.PhoneTree && Comm321->IsOpen()) {
        return tr("Порт %1, %2 бит/с")
            .arg(QString::fromStdString(Comm321->CommPort))
            .arg(Comm321->BaudRate);
    }
    return Words(session_.MainWindow.StatusText);
}

}  // namespace orvo
