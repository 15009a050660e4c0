#include "ui/PhoneList.h"

#include <QApplication>
#include <QDataStream>
#include <QDrag>
#include <QDragEnterEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QStyle>
#include <QTimer>
#include <QUrl>

#include "app/WorkPanes.h"
#include "ui/DragData.h"
#include "ui/FormPlacement.h"

namespace orvo {

TPhoneRows::TPhoneRows(QObject* parent)
    : QAbstractTableModel(parent),
      collator_(QLocale(QLocale::English, QLocale::UnitedStates)),
      folderIcon_(QApplication::style()->standardIcon(QStyle::SP_DirIcon)),
      fileIcon_(QApplication::style()->standardIcon(QStyle::SP_FileIcon)) {}

void TPhoneRows::BeginFilling() {
    if (filling_)
        return;
    filling_ = true;
    beginResetModel();
    // The view sees the new rows once the code that fills the pane is done.
    QTimer::singleShot(0, this, &TPhoneRows::Flush);
}

void TPhoneRows::Flush() {
    if (!filling_)
        return;
    filling_ = false;
    endResetModel();
}

void TPhoneRows::Clear() {
    BeginFilling();
    rows_.clear();
}

int TPhoneRows::Add(const Bytes& caption, const std::string& sizeText, int image) {
    BeginFilling();
    Row row{caption, orvo::DisplayText(caption), QString::fromStdString(sizeText), image};
    // Binary search for the first row that sorts after the new caption.
    std::size_t lo = 0;
    std::size_t hi = rows_.size();
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        int c = collator_.compare(row.text, rows_[mid].text);
        if (c == 0)
            c = caption.compare(rows_[mid].caption);
        if (c < 0) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    rows_.insert(rows_.begin() + std::ptrdiff_t(lo), std::move(row));
    return int(lo);
}

int TPhoneRows::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || filling_ ? 0 : int(rows_.size());
}

int TPhoneRows::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant TPhoneRows::data(const QModelIndex& index, int role) const {
    if (filling_ || !index.isValid() || index.row() >= int(rows_.size()))
        return {};
    const Row& row = rows_[std::size_t(index.row())];
    switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return index.column() == 0 ? row.text : row.size;
        case Qt::DecorationRole:
            if (index.column() == 0)
                return row.image == 0 ? folderIcon_ : fileIcon_;
            return {};
        case Qt::TextAlignmentRole:
            if (index.column() == 1)
                return int(Qt::AlignRight | Qt::AlignVCenter);
            return {};
        case kCaptionRole:
            return QByteArray(row.caption.data(), qsizetype(row.caption.size()));
        case kImageRole:
            return row.image;
        default:
            return {};
    }
}

QVariant TPhoneRows::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole)
        return section == 0 ? QStringLiteral("Name") : QStringLiteral("Size");
    if (role == Qt::TextAlignmentRole && section == 1)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags TPhoneRows::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled;
}

QStringList TPhoneRows::mimeTypes() const {
    return {QStringLiteral("text/uri-list")};
}

Qt::DropActions TPhoneRows::supportedDropActions() const {
    return Qt::CopyAction;
}

Qt::DropActions TPhoneRows::supportedDragActions() const {
    return Qt::CopyAction;
}

// ---------------------------------------------------------------------------

TPhoneList::TPhoneList(QWidget* parent) : QTreeView(parent), rows_(new TPhoneRows(this)) {
    setObjectName(QStringLiteral("ListPhone"));
    setModel(rows_);
    header()->setSectionsClickable(false);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    header()->resizeSection(0, Design(270));
    header()->resizeSection(1, Design(70));
    setSortingEnabled(false);
    UseReportView(this);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize(QSize(16, 16));
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(false);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::CopyAction);
}

QString TPhoneList::DisplayText(const Bytes& caption) {
    return orvo::DisplayText(caption);
}

void TPhoneList::Clear() {
    rows_->Clear();
}

void TPhoneList::AddRow(const Bytes& caption, const std::string& sizeText, int image) {
    rows_->Add(caption, sizeText, image);
}

int TPhoneList::Count() const {
    return int(rows_->Rows().size());
}

QModelIndex TPhoneList::Index(int index) const {
    // Selections refer to the rows the view shows: a filling in progress ends here.
    rows_->Flush();
    if (index < 0 || index >= Count())
        throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
    return rows_->index(index, 0);
}

Bytes TPhoneList::Caption(int index) const {
    if (index < 0 || index >= Count())
        throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
    return rows_->Rows()[std::size_t(index)].caption;
}

int TPhoneList::Image(int index) const {
    if (index < 0 || index >= Count())
        throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
    return rows_->Rows()[std::size_t(index)].image;
}

std::string TPhoneList::SizeText(int index) const {
    if (index < 0 || index >= Count())
        throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
    return rows_->Rows()[std::size_t(index)].size.toStdString();
}

bool TPhoneList::Selected(int index) const {
    return selectionModel()->isRowSelected(Index(index).row(), QModelIndex());
}

void TPhoneList::SetSelected(int index, bool selected) {
    selectionModel()->select(
        Index(index), (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                          QItemSelectionModel::Rows);
}

int TPhoneList::SelCount() const {
    rows_->Flush();
    return int(selectionModel()->selectedRows(0).size());
}

int TPhoneList::ItemIndex() const {
    rows_->Flush();
    int first = -1;
    for (const QModelIndex& i : selectionModel()->selectedRows(0)) {
        if (first < 0 || i.row() < first)
            first = i.row();
    }
    return first;
}

QRect TPhoneList::RowRect(int index) const {
    return visualRect(Index(index));
}

int TPhoneList::RowAt(const QPoint& point) const {
    rows_->Flush();
    const QModelIndex i = indexAt(point);
    return i.isValid() ? i.row() : -1;
}

int TPhoneList::CurrentRow() const {
    rows_->Flush();
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.row() : -1;
}

void TPhoneList::SetCurrentRow(int index) {
    selectionModel()->setCurrentIndex(Index(index), QItemSelectionModel::NoUpdate);
}

void TPhoneList::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeView::mouseDoubleClickEvent(event);
    emit DblClick();
}

void TPhoneList::dragEnterEvent(QDragEnterEvent* event) {
    dragMoveEvent(event);
}

void TPhoneList::dragMoveEvent(QDragMoveEvent* event) {
    if (event->source() != this && !LocalPaths(event->mimeData()).isEmpty()) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void TPhoneList::dropEvent(QDropEvent* event) {
    const QStringList paths =
        event->source() == this ? QStringList() : LocalPaths(event->mimeData());
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    // After the drag's own event loop: a copy may ask questions of its own.
    QTimer::singleShot(0, this, [this, paths] { emit FilesDropped(paths); });
}

void TPhoneList::startDrag(Qt::DropActions) {
    std::vector<Bytes> names;
    for (int i = 0; i < Count(); ++i) {
        if (Selected(i) && Image(i) != 0)
            names.push_back(Caption(i));
    }
    if (names.empty())
        return;
    auto* drag = new QDrag(this);
    drag->setMimeData(PhoneNamesMimeData(names));
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}

}  // namespace orvo
