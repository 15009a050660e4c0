// The computer pane: one local folder in a report view (folders, files and hidden
// files, sorted by name). Double-click opens a folder; GoUp goes to the parent.
// The top level is the file-system root "/".
#pragma once

#include <QTreeView>
#include <memory>

#include "engine/Session.h"

class QAbstractFileIconProvider;
class QFileSystemModel;

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

  signals:
    void FolderChanged();

  private:
    QModelIndex Item(int index) const;
    void OpenItem(const QModelIndex& index);

    QFileSystemModel* model_;
    std::unique_ptr<QAbstractFileIconProvider> icons_;
    bool loaded_ = false;
};
