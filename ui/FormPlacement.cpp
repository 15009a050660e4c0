#include "ui/FormPlacement.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QWindow>
#include <cmath>

namespace orvo {

TCenteredDialog::TCenteredDialog(QWidget* owner, Qt::WindowFlags flags)
    : QDialog(nullptr, flags), owner_(owner) {}

void TCenteredDialog::showEvent(QShowEvent* event) {
    if (owner_) {
        if (windowHandle() && owner_->windowHandle()) {
            windowHandle()->setTransientParent(owner_->windowHandle());
        }
        QRect r = frameGeometry();
        r.moveCenter(owner_->frameGeometry().center());
        move(r.topLeft());
    }
    QDialog::showEvent(event);
}

QLabel* TCenteredDialog::AddLabel(const QString& text, int left, int top, const char* name) {
    auto* label = new QLabel(text, this);
    label->setObjectName(QString::fromLatin1(name));
    label->move(Design(left), Design(top));
    label->adjustSize();
    return label;
}

QPushButton* TCenteredDialog::AddButton(const QString& text, int left, int top, int width,
                                        int height, const char* name) {
    auto* button = new QPushButton(text, this);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(Design(QRect(left, top, width, height)));
    button->setAutoDefault(false);
    FitText(button, text, Design(width) - 6);
    return button;
}

void SetHint(QWidget* widget, const QString& hint) {
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    if (bar < 0) {
        widget->setToolTip(hint);
        widget->setStatusTip(hint);
    } else {
        widget->setToolTip(hint.left(bar));
        widget->setStatusTip(hint.mid(bar + 1));
    }
}

double DesignScale() {
    constexpr double kDesignPixels = 12.0;
    const int pixels = QFontInfo(QApplication::font()).pixelSize();
    return pixels > kDesignPixels ? pixels / kDesignPixels : 1.0;
}

int Design(int pixels) {
    return int(std::lround(pixels * DesignScale()));
}

QRect Design(const QRect& rect) {
    return QRect(Design(rect.left()), Design(rect.top()), Design(rect.width()),
                 Design(rect.height()));
}

QSize Design(const QSize& size) {
    return QSize(Design(size.width()), Design(size.height()));
}

void FitText(QWidget* widget, const QString& text, int room) {
    QFont font = widget->font();
    int size = font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
    while (size > 8 && QFontMetrics(font).horizontalAdvance(text) > room) {
        font.setPixelSize(--size);
    }
    if (font != widget->font())
        widget->setFont(font);
}

void UseReportView(QTreeView* view) {
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setExpandsOnDoubleClick(false);
    view->setUniformRowHeights(true);
    view->setAllColumnsShowFocus(true);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
}

}  // namespace orvo
