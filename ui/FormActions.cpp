#include "ui/FormActions.h"

#include <QAbstractButton>
#include <QCoreApplication>

namespace orvo {

TFormAction::TFormAction(const QString& text, QObject* parent) : QAction(text, parent) {}

void TFormAction::SetHint(const QString& hint) {
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    setToolTip(bar < 0 ? hint : hint.left(bar));
    setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
}

QString TFormAction::DescriptionWithKeys() const {
    const QString keys = KeyNames(shortcuts());
    return keys.isEmpty() ? Description : Description + QStringLiteral(" (") + keys + ')';
}

namespace {

// One key with its modifiers, named as the help box names it.
QString KeyName(const QKeyCombination& combination) {
    QString name;
    switch (combination.key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            name = QStringLiteral("Enter");
            break;
        case Qt::Key_Delete:
            name = QStringLiteral("Delete");
            break;
        case Qt::Key_Up:
            name = QCoreApplication::translate("TFormAction", "Вверх");
            break;
        default:
            return QKeySequence(combination).toString(QKeySequence::PortableText);
    }
    const Qt::KeyboardModifiers mods = combination.keyboardModifiers();
    QString prefix;
    if (mods & Qt::ControlModifier)
        prefix += QStringLiteral("Ctrl+");
    if (mods & Qt::AltModifier)
        prefix += QStringLiteral("Alt+");
    if (mods & Qt::ShiftModifier)
        prefix += QStringLiteral("Shift+");
    return prefix + name;
}

}  // namespace

QString KeyNames(const QList<QKeySequence>& keys) {
    QStringList names;
    for (const QKeySequence& key : keys) {
        if (key.isEmpty())
            continue;
        const QString name = KeyName(key[0]);
        if (!names.contains(name))
            names << name;
    }
    return names.join(QStringLiteral(", "));
}

void ShowAction(QAbstractButton* button, TFormAction* action) {
    const auto follow = [button, action] {
        button->setEnabled(action->isEnabled());
        // An action without a hint of its own gives its button none.
        const bool hinted = !action->statusTip().isEmpty();
        button->setToolTip(hinted ? action->toolTip() : QString());
        button->setStatusTip(action->statusTip());
        button->setAccessibleDescription(action->DescriptionWithKeys());
    };
    follow();
    QObject::connect(action, &QAction::changed, button, follow);
    QObject::connect(button, &QAbstractButton::clicked, action, [action] { action->trigger(); });
}

KeyListEntry KeyEntryOf(const TFormAction* action) {
    return {KeyNames(action->shortcuts()), action->KeyWords};
}

QString KeyList(const QList<KeyListEntry>& entries, int width) {
    QStringList items;
    QList<KeyListEntry> seen;
    for (const KeyListEntry& e : entries) {
        if (e.keys.isEmpty() || e.words.isEmpty() || seen.contains(e))
            continue;
        seen << e;
        items << e.keys + QStringLiteral(" - ") + e.words;
    }
    QString text;
    QString line;
    for (qsizetype i = 0; i < items.size(); ++i) {
        const QString item = items[i] + (i + 1 < items.size() ? ';' : '.');
        if (!line.isEmpty() && line.size() + 1 + item.size() > width) {
            text += line + '\n';
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + item;
    }
    return text + line;
}

}  // namespace orvo
