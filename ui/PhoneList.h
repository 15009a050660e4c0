// The phone pane: a two-column report list ("Name", "Size") of one phone folder,
// rows kept sorted by caption with a locale-aware comparison. Captions are CP1251
// bytes in the phone model; the rows show them decoded and keep the bytes.
//
// The rows live in a model of their own: a folder's rows are added one by one and
// shown in a single reset once the filling is over, so that a folder of thousands
// of files does not hold up the window.
#pragma once

#include <QAbstractTableModel>
#include <QCollator>
#include <QTreeView>
#include <vector>

#include "engine/Session.h"

namespace orvo {

class TPhoneRows : public QAbstractTableModel {
    Q_OBJECT
  public:
    struct Row {
        Bytes caption;
        QString text;
        QString size;
        int image = 1;
    };
    // The role that gives a row's caption bytes.
    static constexpr int kCaptionRole = Qt::UserRole + 1;
    static constexpr int kImageRole = Qt::UserRole + 2;

    explicit TPhoneRows(QObject* parent = nullptr);

    void Clear();
    // Inserts in sorted place; returns the row's index.
    int Add(const Bytes& caption, const std::string& sizeText, int image);
    // Ends a filling: the view sees the rows added since the last one.
    void Flush();
    const std::vector<Row>& Rows() const { return rows_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    Qt::DropActions supportedDropActions() const override;
    Qt::DropActions supportedDragActions() const override;

  private:
    void BeginFilling();

    std::vector<Row> rows_;
    QCollator collator_;
    bool filling_ = false;
    QIcon folderIcon_;
    QIcon fileIcon_;
};

class TPhoneList : public QTreeView, public IPhonePane {
    Q_OBJECT
  public:
    explicit TPhoneList(QWidget* parent = nullptr);

    // IPhonePane
    void Clear() override;
    void AddRow(const Bytes& caption, const std::string& sizeText, int image) override;
    int Count() const override;
    Bytes Caption(int index) const override;
    int Image(int index) const override;
    std::string SizeText(int index) const override;
    bool Selected(int index) const override;
    void SetSelected(int index, bool selected) override;
    int SelCount() const override;
    int ItemIndex() const override;

    // The caption as shown (decoded from CP1251).
    static QString DisplayText(const Bytes& caption);

    TPhoneRows* Rows() const { return rows_; }
    // The row's place in the view, for a pointer or a test.
    QRect RowRect(int index) const;
    // Index of the row at a point of the viewport, or -1.
    int RowAt(const QPoint& point) const;
    // The row under the keyboard cursor, or -1.
    int CurrentRow() const;
    // Puts the keyboard cursor on a row without selecting it.
    void SetCurrentRow(int index);

  signals:
    // A double-click anywhere in the list, on a row or on an empty place.
    void DblClick();
    // Files from elsewhere (local paths) dropped onto the pane.
    void FilesDropped(const QStringList& paths);

  protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;

  private:
    QModelIndex Index(int index) const;
    TPhoneRows* rows_;
};

}  // namespace orvo
