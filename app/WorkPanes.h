// The two panes without widgets, for a front end that has no window: the phone
// folder shown (its rows as the form orders them) and the computer folder with the
// files named on the command line. The work itself goes to the jobs as work lists.
#pragma once

#include <QCollator>
#include <QString>
#include <string>
#include <vector>

#include "engine/Session.h"

namespace orvo {

// A phone name (CP1251 bytes) as the panes show it.
QString DisplayText(const Bytes& caption);

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

  private:
    struct Row {
        Bytes caption;
        std::string size;
        int image = 0;
        bool selected = false;
    };
    std::vector<Row> rows_;
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

  private:
    struct Item {
        std::string path;
        bool selected = false;
    };
    std::string folder_;
    std::vector<Item> items_;
};

}  // namespace orvo
