// The two panes without widgets, for a front end whose selection is a work list
// given up front: the rows the core takes from them are noted, so that the
// caller knows which items an operation reached and which are still to do.
#pragma once

#include <QCollator>
#include <string>
#include <vector>

#include "engine/Session.h"

// The phone pane: rows kept in the order the form's pane shows them (by the
// displayed name in the English collation, then by the bytes).
class ListedPhonePane : public IPhonePane {
  public:
    ListedPhonePane();
    void Clear() override { rows_.clear(); }
    void AddRow(const Bytes& caption, const std::string& sizeText, int image) override;
    int Count() const override { return static_cast<int>(rows_.size()); }
    Bytes Caption(int index) const override { return rows_.at(index).caption; }
    int Image(int index) const override { return rows_.at(index).image; }
    std::string SizeText(int index) const override { return rows_.at(index).size; }
    bool Selected(int index) const override { return rows_.at(index).selected; }
    void SetSelected(int index, bool selected) override;
    int SelCount() const override;
    int ItemIndex() const override;

    // Selects the row with this caption; false when there is none.
    bool Select(const Bytes& caption);
    // The captions whose selection the core took, in order (a row selected
    // again afterwards is taken off the list).
    const std::vector<Bytes>& Taken() const { return taken_; }
    void ForgetTaken() { taken_.clear(); }

  private:
    struct Row {
        Bytes caption;
        std::string size;
        int image = 0;
        bool selected = false;
    };
    std::vector<Row> rows_;
    std::vector<Bytes> taken_;
    QCollator collator_;
};

// The computer pane: the destination folder and the files to send, in the
// order given.
class FileListPane : public IComputerPane {
  public:
    FileListPane(std::string folder, std::vector<std::string> paths);
    std::string FolderPath() const override { return folder_; }
    int Count() const override { return static_cast<int>(items_.size()); }
    std::string ItemPath(int index) const override { return items_.at(index).path; }
    bool Selected(int index) const override { return items_.at(index).selected; }
    void SetSelected(int index, bool selected) override;
    int SelCount() const override;
    void Refresh() override {}

    // Selects exactly these paths (the others are cleared).
    void SelectOnly(const std::vector<std::string>& paths);
    const std::vector<std::string>& Taken() const { return taken_; }
    void ForgetTaken() { taken_.clear(); }

  private:
    struct Item {
        std::string path;
        bool selected = false;
    };
    std::string folder_;
    std::vector<Item> items_;
    std::vector<std::string> taken_;
};
