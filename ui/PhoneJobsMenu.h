// The whole-phone menu items of the main window: "Файл → Резервная копия
// телефона…", "Файл → Восстановить…" and "Действия → Установить Java-приложение…".
// Each asks for its folder or file, starts its job and, when the job ends, shows
// one summary box: what was done and every failure, one per line.
#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <string>

#include "engine/Session.h"

class QAction;

namespace orvo {

class TForm1;
class BackupManifest;

class TPhoneJobsMenu : public QObject {
    Q_OBJECT
  public:
    // Adds the items to the form's menus.
    explicit TPhoneJobsMenu(TForm1& form);
    ~TPhoneJobsMenu() override;

    QAction* Backup1;
    QAction* Restore1;
    QAction* InstallJava1;

    // Handlers: ask, then start.
    void Backup1Click();
    void Restore1Click();
    void InstallJava1Click();

    // Asked when the chosen folder holds a backup left unfinished: "Да" goes on
    // with it, "Нет" starts a new one beside it, "Отмена" or Escape does nothing.
    enum class ResumeAnswer { Resume, StartNew, Cancel };
    ResumeAnswer AskToResume(const std::string& unfinished);

    // The jobs once the folder or file is chosen.
    void BackupInto(const std::string& dir, bool resume);
    void RestoreFrom(const std::string& dir);
    void InstallJavaFrom(const std::string& jad);

    // The summary of a job's end, as its box shows it; the last one shown.
    static QString Summary(const QString& done, const JobResult& result);
    QString lastSummary;

  private:
    bool Ready();
    void ShowSummary(const QString& caption, const QString& done, const JobResult& result);

    TForm1& form_;
    std::unique_ptr<BackupManifest> manifest_;  // the running backup's list
};

}  // namespace orvo
