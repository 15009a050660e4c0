#include "ui/FileExistForm.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace orvo {

TFileExistForm::TFileExistForm(QWidget* owner)
    : TCenteredDialog(owner, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                 Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("FileExistForm"));
    setWindowTitle(tr("Файл существует"));
    // An outer size of 364 x 147 leaves this client area under a usual frame.
    resize(Design(QSize(356, 120)));

    OndNameCapt = AddLabel(tr("Старое имя:"), 8, 1, "OndNameCapt");
    OldName = AddLabel(QString(), 8, 18, "OldName");
    OldName->setTextFormat(Qt::PlainText);
    NewNameCapt = AddLabel(tr("Новое имя:"), 8, 37, "NewNameCapt");
    NewName = new QLineEdit(this);
    NewName->setObjectName(QStringLiteral("NewName"));
    NewName->setGeometry(Design(QRect(8, 56, 337, 21)));
    NewNameCapt->setBuddy(NewName);
    NewName->setAccessibleName(tr("Новое имя"));
    NewName->setAccessibleDescription(tr("Имя для копии, когда файл с таким именем уже есть"));
    FexOKBtn = AddButton(QStringLiteral("OK"), 8, 88, 97, 25, "FexOKBtn");
    FexOverwriteBtn = AddButton(tr("Перезаписать"), 120, 88, 121, 25, "FexOverwriteBtn");
    FexCancel = AddButton(tr("Отмена"), 256, 88, 97, 25, "FexCancel");
    FexOKBtn->setDefault(true);

    connect(FexOKBtn, &QPushButton::clicked, this, [this] { done(kOk); });
    connect(FexOverwriteBtn, &QPushButton::clicked, this, [this] { done(kOverwrite); });
    connect(FexCancel, &QPushButton::clicked, this, [this] { done(kCancel); });
}

int TFileExistForm::Ask(const QString& oldName, QString& newName) {
    OldName->setText(oldName);
    OldName->adjustSize();
    // A screen reader hears the name itself, after what it is.
    OldName->setAccessibleName(tr("Старое имя: %1").arg(oldName));
    NewName->setText(newName);
    NewName->setFocus();
    int result = exec();
    if (result != kOk && result != kOverwrite)
        result = kCancel;
    newName = NewName->text();
    return result;
}

}  // namespace orvo
