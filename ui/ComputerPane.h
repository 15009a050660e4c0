// The computer pane: one local folder in a report view (folders and files, sorted
// by name; hidden files only on request). Double-click opens a folder; GoUp goes
// to the parent. The top level is the file-system root "/". Files dragged out of
// it are offered as file URLs; phone files dropped onto it are announced.
#pragma once

#include <QFileSystemWatcher>
#include <QTreeView>
#include <memory>
#include <vector>

#include "engine/Session.h"

class QAbstractFileIconProvider;
class QFileSystemModel;

namespace orvo {

class TShellList : public QTreeView, public IComputerPane {
    Q_OBJECT
  public:
    explicit TShellList(QWidget* parent = nullptr);
    ~TShellList() override;

    // IComputerPane
    std::string FolderPath() const override;
    int Count() const override;
    std::string ItemPath(int index) const override;
    bool Selected(int index) const override;
    void SetSelected(int index, bool selected) override;
    int SelCount() const override;
    void Refresh() override;

    // Shows the folder at path (an existing directory); false otherwise.
    bool SetFolder(const QString& path);
    // The step up to the parent folder; nothing at "/".
    void GoUp();
    QFileSystemModel* Model() const { return model_; }
    // True once the folder shown has been read completely.
    bool Loaded() const { return loaded_; }
    // Names starting with "." are listed only when asked for.
    void SetShowHidden(bool show);
    bool ShowHidden() const { return showHidden_; }
    // Opens the folder under the keyboard cursor; false when it is not a folder.
    bool OpenCurrent();
    // Total size in bytes of the selected files (folders count nothing).
    qint64 SelectedBytes() const;

  signals:
    void FolderChanged();
    // Phone files dropped onto the pane, to be copied into folder.
    void PhoneFilesDropped(const std::vector<Bytes>& names, const QString& folder);

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;

  private:
    // The folder a drop at point goes to: the folder row under it, or the one shown.
    QString DropFolder(const QPoint& point) const;

    QModelIndex Item(int index) const;
    void OpenItem(const QModelIndex& index);

    QFileSystemModel* model_;
    std::unique_ptr<QAbstractFileIconProvider> icons_;
    bool loaded_ = false;
    bool showHidden_ = false;
    // Tells when the folder shown is removed: the pane goes to the nearest one above.
    QFileSystemWatcher folderWatch_;
};

}  // namespace orvo
