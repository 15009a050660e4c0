#include "ui/ComputerPane.h"

#include <QAbstractFileIconProvider>
#include <QDir>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QStyle>
#include <QTimer>

#include "ui/DragData.h"
#include "ui/FormPlacement.h"

namespace orvo {

namespace {

// The style's folder and file symbols, the same as in the phone pane.
class TStyleIconProvider : public QAbstractFileIconProvider {
  public:
    explicit TStyleIconProvider(const QStyle* style)
        : folder_(style->standardIcon(QStyle::SP_DirIcon)),
          file_(style->standardIcon(QStyle::SP_FileIcon)) {}
    QIcon icon(IconType type) const override { return type == File ? file_ : folder_; }
    QIcon icon(const QFileInfo& info) const override { return info.isDir() ? folder_ : file_; }

  private:
    QIcon folder_;
    QIcon file_;
};

}  // namespace

TShellList::TShellList(QWidget* parent)
    : QTreeView(parent),
      model_(new QFileSystemModel(this)),
      icons_(std::make_unique<TStyleIconProvider>(style())) {
    setObjectName(QStringLiteral("Source"));
    model_->setIconProvider(icons_.get());
    model_->setFilter(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    model_->setReadOnly(false);  // captions can be edited in place: renames the file
    model_->setRootPath(QStringLiteral("/"));
    setModel(model_);
    UseReportView(this);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    setSortingEnabled(true);
    sortByColumn(0, Qt::AscendingOrder);
    // Name and size fit the pane at the window's smallest width; type and date
    // follow to the right.
    header()->resizeSection(0, Design(130));
    header()->resizeSection(1, Design(80));
    // The type's text is never cut.
    header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    setIconSize(QSize(16, 16));
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(false);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::CopyAction);

    // The model's watcher keeps the folder's items up to date; a folder shown that
    // is removed leaves the pane in the nearest folder above it that is left.
    connect(&folderWatch_, &QFileSystemWatcher::directoryChanged, this,
            [this](const QString& path) {
                if (path != QString::fromStdString(FolderPath()) || QFileInfo(path).isDir())
                    return;
                QString up = path;
                while (up != QLatin1String("/") && !QFileInfo(up).isDir())
                    up = QFileInfo(up).path();
                SetFolder(up);
            });
    connect(model_, &QFileSystemModel::directoryLoaded, this, [this](const QString& path) {
        if (QDir::cleanPath(path) == QString::fromStdString(FolderPath()))
            loaded_ = true;
    });
    connect(this, &QTreeView::doubleClicked, this, &TShellList::OpenItem);
    SetFolder(QDir::homePath());
}

bool TShellList::SetFolder(const QString& path) {
    QFileInfo info(path);
    if (!info.isDir())
        return false;
    const QString clean = QDir::cleanPath(info.absoluteFilePath());
    const QModelIndex index = model_->index(clean);
    if (!index.isValid())
        return false;
    loaded_ = false;
    clearSelection();
    if (!folderWatch_.directories().isEmpty())
        folderWatch_.removePaths(folderWatch_.directories());
    folderWatch_.addPath(clean);
    model_->setRootPath(clean);
    setRootIndex(index);
    if (model_->canFetchMore(index))
        model_->fetchMore(index);
    emit FolderChanged();
    return true;
}

void TShellList::SetShowHidden(bool show) {
    if (show == showHidden_)
        return;
    showHidden_ = show;
    clearSelection();
    QDir::Filters filter = QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot;
    if (show)
        filter |= QDir::Hidden;
    model_->setFilter(filter);
}

bool TShellList::OpenCurrent() {
    const QModelIndex index = currentIndex();
    if (!index.isValid() || !model_->isDir(index.siblingAtColumn(0)))
        return false;
    OpenItem(index);
    return true;
}

qint64 TShellList::SelectedBytes() const {
    qint64 total = 0;
    for (const QModelIndex& i : selectionModel()->selectedRows(0)) {
        if (!model_->isDir(i))
            total += model_->size(i);
    }
    return total;
}

QString TShellList::DropFolder(const QPoint& point) const {
    const QModelIndex index = indexAt(point);
    if (index.isValid() && model_->isDir(index.siblingAtColumn(0)))
        return model_->filePath(index.siblingAtColumn(0));
    return QString::fromStdString(FolderPath());
}

void TShellList::dragEnterEvent(QDragEnterEvent* event) {
    dragMoveEvent(event);
}

void TShellList::dragMoveEvent(QDragMoveEvent* event) {
    // Only phone files are taken; local files stay where they are.
    if (event->mimeData()->hasFormat(QString::fromLatin1(kPhoneNamesMimeType))) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void TShellList::dropEvent(QDropEvent* event) {
    const std::vector<Bytes> names = PhoneNames(event->mimeData());
    if (names.empty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    const QString folder = DropFolder(event->position().toPoint());
    // After the drag's own event loop: the copy may ask questions of its own.
    QTimer::singleShot(0, this, [this, names, folder] { emit PhoneFilesDropped(names, folder); });
}

void TShellList::startDrag(Qt::DropActions) {
    // Offered for copying only: another program never moves the user's files away.
    QTreeView::startDrag(Qt::CopyAction);
}

void TShellList::GoUp() {
    const QString path = QString::fromStdString(FolderPath());
    if (path == QLatin1String("/"))
        return;
    QDir dir(path);
    if (dir.cdUp())
        SetFolder(dir.absolutePath());
}

void TShellList::OpenItem(const QModelIndex& index) {
    if (!index.isValid())
        return;
    const QString path = model_->filePath(index.siblingAtColumn(0));
    if (QFileInfo(path).isDir())
        SetFolder(path);
}

std::string TShellList::FolderPath() const {
    QString path = model_->filePath(rootIndex());
    if (path.isEmpty())
        path = QStringLiteral("/");
    path = QDir::cleanPath(path);
    return path.toStdString();
}

int TShellList::Count() const {
    return model_->rowCount(rootIndex());
}

QModelIndex TShellList::Item(int index) const {
    const QModelIndex item = model_->index(index, 0, rootIndex());
    if (!item.isValid()) {
        throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
    }
    return item;
}

std::string TShellList::ItemPath(int index) const {
    return model_->filePath(Item(index)).toStdString();
}

bool TShellList::Selected(int index) const {
    return selectionModel()->isRowSelected(Item(index).row(), rootIndex());
}

void TShellList::SetSelected(int index, bool selected) {
    selectionModel()->select(
        Item(index), (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                         QItemSelectionModel::Rows);
}

int TShellList::SelCount() const {
    return int(selectionModel()->selectedRows(0).size());
}

void TShellList::Refresh() {
    // The file-system watcher reports files that appear or vanish, but not a file
    // that grows after it was created (a download is created empty and then
    // written). Leaving the folder as the model's root and coming back makes the
    // model list it again and take every item's size and date afresh; the items
    // themselves stay, and so does the selection.
    const QString path = QString::fromStdString(FolderPath());
    model_->setRootPath(QString());
    model_->setRootPath(path);
    const QModelIndex index = model_->index(path);
    if (rootIndex() != index)
        setRootIndex(index);
    if (model_->canFetchMore(index))
        model_->fetchMore(index);
}

TShellList::~TShellList() {
    // The model must not outlive the icon provider it uses.
    setModel(nullptr);
    delete model_;
}

}  // namespace orvo
