#include "ui/AboutForm.h"

#include <QLabel>
#include <QPushButton>

namespace orvo {

TAboutForm::TAboutForm(QWidget* owner)
    : TCenteredDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                 Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(tr("О программе"));
    setFixedSize(Design(QSize(280, 156)));

    const QString lines[] = {
        QStringLiteral("Orvo File Manager v0.1b"),
        tr("Файловый менеджер для телефона"),
        tr("Работа через COM-порт и AT-команды"),
        tr("Свободная программа, без гарантий"),
    };
    int top = 16;
    for (const QString& text : lines) {
        auto* label = new QLabel(text, this);
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        label->setGeometry(Design(QRect(0, top, 280, 20)));
        top += 24;
    }
    AboutOkBtn = AddButton(QStringLiteral("OK"), 80, 112, 113, 25, "AboutOkBtn");
    AboutOkBtn->setDefault(true);
    connect(AboutOkBtn, &QPushButton::clicked, this, [this] { done(1); });
}

}  // namespace orvo
