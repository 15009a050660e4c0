// The phone pane: a two-column report list ("Name", "Size") of one phone folder,
// rows kept sorted by caption with a locale-aware comparison. Captions are CP1251
// bytes in the phone model; the rows show them decoded and keep the bytes.
#pragma once

#include <QCollator>
#include <QTreeWidget>

#include "engine/Session.h"

class TPhoneList : public QTreeWidget, public IPhonePane {
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

  signals:
    // A double-click anywhere in the list, on a row or on an empty place.
    void DblClick();

  protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    QTreeWidgetItem* Row(int index) const;
    QCollator collator_;
};
