// The form's operations as actions. Each operation is one QAction that carries
// its menu text, the short caption of its button (the icon text), its keys, its
// hints, what a screen reader hears of it, the words of the help box's key list
// and its enabled state. The buttons, the menus and the panes' context menus show
// that action, and the help box's key list is made from the actions.
#pragma once

#include <QAction>
#include <QKeySequence>
#include <QList>
#include <QString>

class QAbstractButton;

namespace orvo {

class TFormAction : public QAction {
    Q_OBJECT
  public:
    TFormAction(const QString& text, QObject* parent);

    // What a screen reader hears of the control that shows it, before its keys.
    QString Description;
    // The key list's words for it ("папка выше"); empty: not in the key list.
    QString KeyWords;

    // The hint "short|long": the short part is the tool-tip, the long one (or the
    // whole) the status bar's text while the pointer is over it.
    void SetHint(const QString& hint);
    // The description followed by the keys: "Переименовать файл телефона (F2)".
    QString DescriptionWithKeys() const;
};

// The keys as the help box names them: "Enter", "Backspace, Alt+Вверх", "Delete, F8".
QString KeyNames(const QList<QKeySequence>& keys);

// The button shows the action: its enabled state, hints and description follow
// the action's, and a click triggers it. Its caption stays the one it was made with.
void ShowAction(QAbstractButton* button, TFormAction* action);

// One entry of the help box's key list.
struct KeyListEntry {
    QString keys;
    QString words;
    bool operator==(const KeyListEntry& other) const {
        return keys == other.keys && words == other.words;
    }
};
// The entry of an action: its keys and key words.
KeyListEntry KeyEntryOf(const TFormAction* action);

// The key list: "keys - words" entries in order, joined by "; " (the same entry
// once), in lines of at most width characters, ended with ".".
QString KeyList(const QList<KeyListEntry>& entries, int width = 75);

}  // namespace orvo
