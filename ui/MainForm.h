// The main window: the computer pane on the left, one phone folder on the right,
// the operation buttons under them, the menu, the status panel, the reply
// watchdog Timer1 and the serial port component Comm321.
#pragma once

#include <QMainWindow>
#include <QRect>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/Session.h"
#include "ui/CommandLine.h"

class QAction;
class QLabel;
class QLineEdit;
class QToolBar;
class QToolButton;
class QMenu;
class QPushButton;
class QTimer;

namespace orvo {

class PhoneLink;
class TAboutForm;
class TComm32;
class TFileExistForm;
class TFormAction;
class TPhoneJobsMenu;
class TPhoneList;
class TProcessForm;
class TRenameForm;
class TSettingsForm;
class TShellList;

class TForm1 : public QMainWindow, public IUserInterface {
    Q_OBJECT
  public:
    explicit TForm1(const ProgramOptions& options = {});
    ~TForm1() override;

    Session& session() { return session_; }

    // Controls and components.
    TShellList* Source;
    TPhoneList* ListPhone;
    QPushButton* ParentCompBtn;
    QPushButton* ParentPhoneBtn;
    QPushButton* CopyToPhoneBtn;
    QPushButton* CopyToCompBtn;
    QPushButton* RenameBtn;
    QPushButton* CompileJavaBtn;
    QPushButton* RescanBtn;
    QPushButton* DeleteBtn;
    QLabel* StatusPanel;
    // The selected rows of the focused pane: how many and their size.
    QLabel* SelectionPanel;
    // Above the computer pane: its folder (editable) and the way home.
    QToolBar* PathBar;
    QLineEdit* PathEdit;
    QToolButton* HomeBtn;
    // The operations of each pane with their keys; they make its context menu. Each
    // operation is one action, shown by its button and its menu item where it has one.
    QList<QAction*> ComputerActions;
    QList<QAction*> PhoneActions;
    TFormAction* UpComp1;
    TFormAction* HomeComp1;
    TFormAction* CopyToPhone1;
    TFormAction* UpPhone1;
    TFormAction* CopyToComp1;
    TFormAction* RenamePhone1;
    TFormAction* DeletePhone1;
    TFormAction* RereadPhone1;
    TFormAction* ShowHidden1;
    QMenu* FileMenu;
    QMenu* Actions1;
    QMenu* Help1;
    QAction* Settings1;
    QAction* Exit1;
    TFormAction* CompileJava1;
    QAction* Help2;
    QAction* TraceLine1;  // "Записывать обмен с телефоном", checkable
    QAction* About1;
    TPhoneJobsMenu* PhoneJobs;  // backup, restore, installing a Java application
    QTimer* Timer1;
    TComm32* Comm321;

    // The secondary windows, one each for the whole run.
    std::unique_ptr<TRenameForm> RenameForm;
    std::unique_ptr<TAboutForm> AboutForm;
    std::unique_ptr<TFileExistForm> FileExistForm;
    std::unique_ptr<TSettingsForm> SettingsForm;
    std::unique_ptr<TProcessForm> ProcessForm;

    // What ending the program means; by default the event loop is asked to end.
    std::function<void()> OnExit;
    bool ExitRequested() const { return exitRequested_; }
    // A signal ends the program (SIGTERM, SIGHUP: a desktop logout): whatever runs
    // ends as after "Да" to "Операция не завершена. Выйти?", without the question,
    // and then the program (OnExit).
    void EndBySignal(int signo);

    // True while an exchange with the phone is under way: an operation awaits a
    // reply or the progress window shows a batch, on an open port.
    bool OperationRunning() const;

    // IUserInterface
    void MessageBox(const std::string& text, const std::string& caption) override;
    void Report(const Message& message) override;
    ModalResult FileExistDialog(const std::string& oldName, std::string& newName) override;
    ModalResult RenameDialog(std::string& name) override;
    void ProgressChanged() override;
    void MainWindowChanged() override;
    void RestartConnection() override;

    // Handlers.
    void FormCreate();
    void Settings1Click();
    void Exit1Click();
    void About1Click();
    void Help2Click();
    // Starts or ends the trace of the line: into the --trace file when one was
    // given, else into a new file under DefaultTraceFolder().
    void TraceLine1Click(bool on);
    static QString DefaultTraceFolder();
    void CopyToPhoneBtnClick();
    void CopyToCompBtnClick();
    void DeleteBtnClick();
    void RenameBtnClick();
    void RescanBtnClick();
    void CompileJava1Click();
    void ParentCompBtnClick();
    void ParentPhoneBtnClick();
    void ListPhoneDblClick();
    void Timer1Timer();
    // The keyboard's ways to the same handlers.
    void OpenComputerItem();
    void OpenPhoneItem();
    void GoHome();
    void PathEditReturn();
    void ShowHiddenToggled(bool show);
    // Files dropped on the phone pane are copied there as "Копировать -->" copies
    // the selection; phone files dropped on the computer pane go into folder.
    void UploadDropped(const QStringList& paths);
    void DownloadDropped(const std::vector<Bytes>& names, const QString& folder);
    // The pane the keyboard was in last (where it returns after an operation).
    QWidget* LastPane() const { return lastPane_; }

    // Size of the client area between menu and status bar that the design positions
    // refer to; anchored controls keep their distances to its edges.
    static constexpr int kDesignWidth = 592;
    static constexpr int kDesignHeight = 340;

  protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    struct Anchored {
        QWidget* widget;
        QRect design;
        bool left, top, right, bottom;
    };
    // A button that shows action, captioned with its icon text.
    QPushButton* AddButton(TFormAction* action, const QRect& design, bool left, bool top,
                           bool right, bool bottom, const char* name);
    void LayoutControls();
    void BuildMenu();
    void ExitProgram();
    // Before the program ends: when an operation is running, asks whether to leave
    // it; on "Да" ends it (port closed, partial download discarded, a renamed
    // file's kept bytes named). False when the user chose to stay.
    bool ConfirmExit();
    // The application's general error report around one handler.
    void Guarded(const std::function<void()>& handler);
    void ShowError(const std::string& text);
    void BuildActions();
    TFormAction* AddPaneAction(QWidget* pane, QList<QAction*>& list, const QString& text,
                               const QList<QKeySequence>& keys, const char* name,
                               const std::function<void()>& handler);
    void UpdatePaneNames();
    void UpdateSelectionPanel();
    void UpdatePathEdit();
    // The panel's text when the program has nothing else to say: after the caching
    // pass the port and speed in use, before it the session's own status.
    QString IdleStatus() const;
    void FocusChanged(QWidget* now);
    void ReturnFocus();

    Session session_;
    std::unique_ptr<PhoneLink> link_;  // after session_: it holds a reference to it
    QWidget* client_;
    std::vector<Anchored> anchored_;
    bool shownOnce_ = false;
    bool inFormCreate_ = false;
    bool exitRequested_ = false;
    bool endedBySignal_ = false;   // messages go to stderr: nobody may be looking
    bool askingExit_ = false;      // the question on leaving mid-operation is up
    bool restartPending_ = false;  // the settings dialog waits for its answer
    std::string traceFile_;        // --trace FILE
    QWidget* lastPane_ = nullptr;
    bool wasEnabled_ = true;
};

// Shows a message box with one OK button over owner (which may be disabled).
void ShowMessageBox(QWidget* owner, const QString& text, const QString& caption);

}  // namespace orvo
