#include "ui/RenameForm.h"

#include <QLineEdit>
#include <QPushButton>

namespace orvo {

TRenameForm::TRenameForm(QWidget* owner)
    : TCenteredDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                 Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("RenameForm"));
    setWindowTitle(tr("Переименовать"));
    setFixedSize(Design(QSize(230, 77)));

    RenName = new QLineEdit(this);
    RenName->setObjectName(QStringLiteral("RenName"));
    RenName->setGeometry(Design(QRect(8, 16, 217, 21)));
    RenName->setAccessibleName(tr("Новое имя файла"));
    RenName->setAccessibleDescription(tr("Имя, под которым файл останется на телефоне"));
    RenOK = AddButton(QStringLiteral("OK"), 8, 48, 89, 25, "RenOK");
    RenCancel = AddButton(tr("Отмена"), 128, 48, 97, 25, "RenCancel");
    RenOK->setDefault(true);

    connect(RenOK, &QPushButton::clicked, this, [this] { done(1); });
    connect(RenCancel, &QPushButton::clicked, this, [this] { done(2); });
}

int TRenameForm::Ask(QString& name) {
    RenName->setText(name);
    RenName->selectAll();
    RenName->setFocus();
    const int result = exec() == 1 ? 1 : 2;
    if (result == 1)
        name = RenName->text();
    return result;
}

}  // namespace orvo
