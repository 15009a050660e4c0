#include "ui/PhoneList.h"

#include <QHeaderView>
#include <QStyle>

#include "app/WorkPanes.h"
#include "ui/FormPlacement.h"

namespace {

constexpr int kCaptionRole = Qt::UserRole + 1;
constexpr int kImageRole = Qt::UserRole + 2;

}  // namespace

TPhoneList::TPhoneList(QWidget* parent)
    : QTreeWidget(parent), collator_(QLocale(QLocale::English, QLocale::UnitedStates)) {
    setObjectName(QStringLiteral("ListPhone"));
    setColumnCount(2);
    setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Size")});
    headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    header()->setSectionsClickable(false);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    header()->resizeSection(0, 270);
    header()->resizeSection(1, 70);
    setSortingEnabled(false);
    UseReportView(this);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize(QSize(16, 16));
}

QString TPhoneList::DisplayText(const Bytes& caption) {
    return ::DisplayText(caption);
}

void TPhoneList::Clear() {
    clear();
}

void TPhoneList::AddRow(const Bytes& caption, const std::string& sizeText, int image) {
    const QString text = DisplayText(caption);
    // Binary search for the first row that sorts after the new caption.
    int lo = 0;
    int hi = topLevelItemCount();
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        QTreeWidgetItem* row = topLevelItem(mid);
        int c = collator_.compare(text, row->text(0));
        if (c == 0)
            c = caption.compare(Caption(mid));
        if (c < 0) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    auto* item = new QTreeWidgetItem;
    item->setText(0, text);
    item->setText(1, QString::fromStdString(sizeText));
    item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    item->setData(0, kCaptionRole, QByteArray(caption.data(), qsizetype(caption.size())));
    item->setData(0, kImageRole, image);
    item->setIcon(0, style()->standardIcon(image == 0 ? QStyle::SP_DirIcon : QStyle::SP_FileIcon));
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    insertTopLevelItem(lo, item);
}

int TPhoneList::Count() const {
    return topLevelItemCount();
}

QTreeWidgetItem* TPhoneList::Row(int index) const {
    QTreeWidgetItem* item = topLevelItem(index);
    if (!item)
        throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
    return item;
}

Bytes TPhoneList::Caption(int index) const {
    const QByteArray bytes = Row(index)->data(0, kCaptionRole).toByteArray();
    return Bytes(bytes.constData(), std::size_t(bytes.size()));
}

int TPhoneList::Image(int index) const {
    return Row(index)->data(0, kImageRole).toInt();
}

std::string TPhoneList::SizeText(int index) const {
    return Row(index)->text(1).toStdString();
}

bool TPhoneList::Selected(int index) const {
    return Row(index)->isSelected();
}

void TPhoneList::SetSelected(int index, bool selected) {
    Row(index)->setSelected(selected);
}

int TPhoneList::SelCount() const {
    int n = 0;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        if (topLevelItem(i)->isSelected())
            ++n;
    }
    return n;
}

int TPhoneList::ItemIndex() const {
    for (int i = 0; i < topLevelItemCount(); ++i) {
        if (topLevelItem(i)->isSelected())
            return i;
    }
    return -1;
}

void TPhoneList::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeWidget::mouseDoubleClickEvent(event);
    emit DblClick();
}
