#include "app/WorkPanes.h"

#include <QLocale>
#include <QStringDecoder>
#include <algorithm>

#include "phonefs/CodePage.h"

namespace orvo {

QString DisplayText(const Bytes& caption) {
    QStringDecoder decode("windows-1251");
    if (decode.isValid()) {
        QString text = decode(QByteArrayView(caption.data(), qsizetype(caption.size())));
        if (!decode.hasError())
            return text;
    }
    return QString::fromStdString(AnsiToUtf8Display(caption));
}

ListedPhonePane::ListedPhonePane() : collator_(QLocale(QLocale::English, QLocale::UnitedStates)) {}

void ListedPhonePane::AddRow(const Bytes& caption, const std::string& sizeText, int image) {
    const QString text = DisplayText(caption);
    auto at =
        std::upper_bound(rows_.begin(), rows_.end(), caption, [&](const Bytes& c, const Row& r) {
            int order = collator_.compare(text, DisplayText(r.caption));
            if (order == 0)
                order = c.compare(r.caption);
            return order < 0;
        });
    rows_.insert(at, Row{caption, sizeText, image, false});
}

void ListedPhonePane::SetSelected(int index, bool selected) {
    rows_.at(index).selected = selected;
}

int ListedPhonePane::SelCount() const {
    return static_cast<int>(
        std::count_if(rows_.begin(), rows_.end(), [](const Row& r) { return r.selected; }));
}

int ListedPhonePane::ItemIndex() const {
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].selected)
            return static_cast<int>(i);
    return -1;
}

FileListPane::FileListPane(std::string folder, std::vector<std::string> paths)
    : folder_(std::move(folder)) {
    for (std::string& p : paths) items_.push_back(Item{std::move(p), false});
}

void FileListPane::SetSelected(int index, bool selected) {
    items_.at(index).selected = selected;
}

int FileListPane::SelCount() const {
    return static_cast<int>(
        std::count_if(items_.begin(), items_.end(), [](const Item& i) { return i.selected; }));
}

}  // namespace orvo
