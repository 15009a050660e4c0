#include "tests/support/Fakes.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace orvo {

bool RecordingPort::Write(const void* data, uint16_t length) {
    writes.emplace_back(static_cast<const char*>(data), length);
    return true;
}

std::string RecordingPort::All() const {
    std::string all;
    for (const auto& w : writes) all += w;
    return all;
}

void FakeUi::MessageBox(const std::string& text, const std::string& caption) {
    messages.push_back({text, caption, report_.kind, report_});
    report_ = Message();
    if (onMessage)
        onMessage();
}

void FakeUi::Report(const Message& message) {
    report_ = message;
    MessageBox(WordsUtf8(message), CaptionWords(message).toStdString());
}

ModalResult FakeUi::FileExistDialog(const std::string& oldName, std::string& newName) {
    existShown.emplace_back(oldName, newName);
    if (onDialog)
        onDialog();
    if (existAnswers.empty())
        return ModalResult::Cancel;
    ExistAnswer a = existAnswers.front();
    existAnswers.pop_front();
    const auto result = static_cast<ModalResult>(a.result);
    if (result == ModalResult::Ok && !a.newName.empty())
        newName = a.newName;
    return result;
}

ModalResult FakeUi::RenameDialog(std::string& name) {
    if (onDialog)
        onDialog();
    if (renameAnswers.empty())
        return ModalResult::Cancel;
    auto a = renameAnswers.front();
    renameAnswers.pop_front();
    const auto result = static_cast<ModalResult>(a.first);
    if (result == ModalResult::Ok)
        name = a.second;
    return result;
}

namespace {
// A sort key close to a locale-aware comparison of CP1251 captions: letters
// compare without case, Cyrillic after Latin.
int FoldCp1251(unsigned char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 'a';
    if (c >= 0xC0 && c <= 0xDF)
        return c + 0x20;  // А-Я -> а-я
    if (c == 0xA8)
        return 0xB8;  // Ё -> ё
    return c;
}
bool CaptionLess(const Bytes& a, const Bytes& b) {
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        int x = FoldCp1251(static_cast<unsigned char>(a[i]));
        int y = FoldCp1251(static_cast<unsigned char>(b[i]));
        if (x != y)
            return x < y;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}
}  // namespace

void FakePhonePane::AddRow(const Bytes& caption, const std::string& sizeText, int image) {
    Row row{caption, sizeText, image, false};
    auto at = std::upper_bound(rows.begin(), rows.end(), row, [](const Row& x, const Row& y) {
        return CaptionLess(x.caption, y.caption);
    });
    rows.insert(at, row);
}

int FakePhonePane::SelCount() const {
    return static_cast<int>(
        std::count_if(rows.begin(), rows.end(), [](const Row& r) { return r.selected; }));
}

int FakePhonePane::ItemIndex() const {
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i].selected)
            return static_cast<int>(i);
    return -1;
}

std::vector<std::string> FakePhonePane::Captions() const {
    std::vector<std::string> out;
    for (const auto& r : rows) out.push_back(r.caption);
    return out;
}

bool FakePhonePane::Select(const Bytes& caption) {
    for (auto& r : rows)
        if (r.caption == caption) {
            r.selected = true;
            return true;
        }
    return false;
}

int FakeComputerPane::SelCount() const {
    return static_cast<int>(
        std::count_if(items.begin(), items.end(), [](const Item& i) { return i.selected; }));
}

void FakeComputerPane::Load(const std::string& path) {
    folder = path;
    items.clear();
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(path))
        names.push_back(e.path().string());
    std::sort(names.begin(), names.end());
    for (const auto& n : names) items.push_back({n, false});
}

bool FakeComputerPane::Select(const std::string& name) {
    for (auto& i : items)
        if (std::filesystem::path(i.path).filename() == name) {
            i.selected = true;
            return true;
        }
    return false;
}

TestRig::TestRig() {
    s.Port = &port;
    s.Ui = &ui;
    s.PhonePane = &pane;
    s.Source = &source;
}

void PutFile(const std::string& path, const std::string& data) {
    const std::filesystem::path file(path);
    if (file.has_parent_path())
        std::filesystem::create_directories(file.parent_path());
    std::ofstream(path, std::ios::binary).write(data.data(), std::streamsize(data.size()));
}

std::string GetFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

}  // namespace orvo
