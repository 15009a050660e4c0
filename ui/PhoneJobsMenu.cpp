#include "ui/PhoneJobsMenu.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>

#include "app/BackupManifest.h"
#include "app/MessageTexts.h"
#include "engine/PhoneJobs.h"
#include "ui/MainForm.h"

namespace orvo {

namespace {

// Captions of the jobs' dialogs and boxes, translated when they are shown.
QString BackupCaption() {
    return TPhoneJobsMenu::tr("Резервная копия телефона");
}

QString RestoreCaption() {
    return TPhoneJobsMenu::tr("Восстановление");
}

QString JavaCaption() {
    return TPhoneJobsMenu::tr("Установка Java-приложения");
}

constexpr int kListedFailures = 20;

QString Q(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

QString OneLine(const std::string& text) {
    QString line = Q(text);
    line.replace(QStringLiteral("\r\n"), QStringLiteral(": "));
    line.replace(QLatin1Char('\n'), QStringLiteral(": "));
    return line;
}

}  // namespace

TPhoneJobsMenu::TPhoneJobsMenu(TForm1& form) : QObject(&form), form_(form) {
    Backup1 = new QAction(tr("Резервная копия телефона…"), this);
    Backup1->setObjectName(QStringLiteral("Backup1"));
    Restore1 = new QAction(tr("Восстановить…"), this);
    Restore1->setObjectName(QStringLiteral("Restore1"));
    InstallJava1 = new QAction(tr("Установить Java-приложение…"), this);
    InstallJava1->setObjectName(QStringLiteral("InstallJava1"));
    form.FileMenu->insertAction(form.Exit1, Backup1);
    form.FileMenu->insertAction(form.Exit1, Restore1);
    form.FileMenu->insertSeparator(form.Exit1);
    form.Actions1->addAction(InstallJava1);
    connect(Backup1, &QAction::triggered, this, &TPhoneJobsMenu::Backup1Click);
    connect(Restore1, &QAction::triggered, this, &TPhoneJobsMenu::Restore1Click);
    connect(InstallJava1, &QAction::triggered, this, &TPhoneJobsMenu::InstallJava1Click);
}

TPhoneJobsMenu::~TPhoneJobsMenu() = default;

bool TPhoneJobsMenu::Ready() {
    const Session& s = form_.session();
    return s.PhoneTree && !form_.OperationRunning() && !s.Steps.active;
}

void TPhoneJobsMenu::Backup1Click() {
    if (!Ready())
        return;
    const QString dir =
        QFileDialog::getExistingDirectory(&form_, BackupCaption(), QDir::homePath());
    if (dir.isEmpty())
        return;
    bool resume = false;
    const std::string unfinished = UnfinishedBackup(dir.toStdString());
    if (!unfinished.empty()) {
        const ResumeAnswer answer = AskToResume(unfinished);
        if (answer == ResumeAnswer::Cancel)
            return;
        resume = answer == ResumeAnswer::Resume;
    }
    BackupInto(dir.toStdString(), resume);
}

TPhoneJobsMenu::ResumeAnswer TPhoneJobsMenu::AskToResume(const std::string& unfinished) {
    // The buttons carry the words the question names, in the form's language.
    QMessageBox box(QMessageBox::Question, BackupCaption(),
                    tr("В папке %1 есть незаконченная резервная копия. Продолжить её?\n"
                       "«Нет» начнёт новую.")
                        .arg(Q(unfinished)),
                    QMessageBox::NoButton, &form_);
    QPushButton* yes = box.addButton(tr("Да"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(tr("Нет"), QMessageBox::NoRole);
    QPushButton* cancel = box.addButton(tr("Отмена"), QMessageBox::RejectRole);
    yes->setObjectName(QStringLiteral("Yes"));
    no->setObjectName(QStringLiteral("No"));
    cancel->setObjectName(QStringLiteral("Cancel"));
    box.setDefaultButton(yes);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == yes)
        return ResumeAnswer::Resume;
    if (box.clickedButton() == no)
        return ResumeAnswer::StartNew;
    return ResumeAnswer::Cancel;
}

void TPhoneJobsMenu::BackupInto(const std::string& dir, bool resume) {
    if (!Ready())
        return;
    std::string error;
    std::string top = resume ? UnfinishedBackup(dir) : std::string();
    if (top.empty())
        top = MakeBackupFolder(dir, QDateTime::currentDateTime(), error);
    auto manifest = std::make_unique<BackupManifest>(top);
    if (top.empty() || !manifest->Load(error)) {
        ShowMessageBox(&form_, Q(error), tr("Ошибка"));
        return;
    }
    manifest_ = std::move(manifest);
    const QString where = Q(top);
    BackupPhone(form_.session(), top, *manifest_, [this, where](const JobResult& r) {
        QString done = tr("Резервная копия: %1\nФайлов прочитано: %2")
                           .arg(where, QString::number(r.done.size()));
        if (!r.skipped.empty())
            done += tr(", уже были в копии: %1").arg(r.skipped.size());
        if (!r.Succeeded())
            done +=
                tr("\nКопия не закончена: её можно продолжить, выбрав ту же "
                   "папку ещё раз.");
        ShowSummary(BackupCaption(), done, r);
    });
}

void TPhoneJobsMenu::Restore1Click() {
    if (!Ready())
        return;
    const QString dir =
        QFileDialog::getExistingDirectory(&form_, RestoreCaption(), QDir::homePath());
    if (!dir.isEmpty())
        RestoreFrom(dir.toStdString());
}

void TPhoneJobsMenu::RestoreFrom(const std::string& dir) {
    if (!Ready())
        return;
    const std::string top = BackupIn(dir);
    std::vector<RestoreFile> files;
    std::string error;
    if (top.empty()) {
        ShowMessageBox(&form_, tr("В папке %1 нет резервной копии (manifest.json)").arg(Q(dir)),
                       tr("Ошибка"));
        return;
    }
    if (!ReadRestoreList(top, files, error)) {
        ShowMessageBox(&form_, Q(error), tr("Ошибка"));
        return;
    }
    RestorePhone(form_.session(), std::move(files), RestoreOptions(), [this](const JobResult& r) {
        QString done = tr("Записано в телефон файлов: %1").arg(r.done.size());
        if (!r.skipped.empty())
            done += tr(", уже были в телефоне: %1").arg(r.skipped.size());
        ShowSummary(RestoreCaption(), done, r);
    });
}

void TPhoneJobsMenu::InstallJava1Click() {
    if (!Ready())
        return;
    const QString jad = QFileDialog::getOpenFileName(&form_, JavaCaption(), QDir::homePath(),
                                                     tr("Java-приложения (*.jad)"));
    if (!jad.isEmpty())
        InstallJavaFrom(jad.toStdString());
}

void TPhoneJobsMenu::InstallJavaFrom(const std::string& jad) {
    if (!Ready())
        return;
    std::string jar;
    Message error;
    if (!CheckJavaPair(jad, jar, error)) {
        // Nothing is sent for a pair that cannot go whole.
        ShowMessageBox(&form_, Words(error), CaptionWords(error));
        return;
    }
    InstallJava(form_.session(), jad, jar, [this](const JobResult& r) {
        QString done;
        if (r.Succeeded()) {
            QStringList names;
            for (const std::string& d : r.done) names << Q(d);
            done = tr("Java-приложение установлено: %1").arg(names.join(", "));
        } else {
            done = tr("Java-приложение не установлено");
        }
        ShowSummary(JavaCaption(), done, r);
    });
}

QString TPhoneJobsMenu::Summary(const QString& done, const JobResult& result) {
    QString text = done;
    QStringList failures;
    for (const JobMessage& m : result.messages) {
        if (m.kind == MessageKind::Notice)
            continue;
        const QString text = OneLine(WordsUtf8(m));
        failures << (m.item.empty() ? text : Q(m.item) + ": " + text);
    }
    if (result.stopped && failures.isEmpty())
        failures << tr("Операция прервана");
    if (!failures.isEmpty()) {
        text += tr("\n\nНе выполнено (%1):").arg(failures.size());
        for (int i = 0; i < failures.size() && i < kListedFailures; ++i) text += "\n" + failures[i];
        if (failures.size() > kListedFailures)
            text += tr("\n… и ещё %1").arg(failures.size() - kListedFailures);
    }
    return text;
}

void TPhoneJobsMenu::ShowSummary(const QString& caption, const QString& done,
                                 const JobResult& result) {
    lastSummary = Summary(done, result);
    // Shown once the job's last step has returned.
    QMetaObject::invokeMethod(
        this, [this, caption, text = lastSummary] { ShowMessageBox(&form_, text, caption); },
        Qt::QueuedConnection);
}

}  // namespace orvo
