// Helpers of the main window's tests: its message list, its menus, the editor's text and the files it reads and writes.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QString>
#include <QStringList>
#include <QTest>

#include "app/Sdimain.h"
#include "tests/windows/WindowTestSupport.h"

namespace quarvo::testing {

// The lines of the message list under the editor.
inline QStringList Messages(const TSDIAppForm& form) {
    const auto* list = Component<QListWidget>(form, "MemoError");
    QStringList lines;
    for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
    return lines;
}

inline bool Enabled(const QMenu* menu) { return menu->menuAction()->isEnabled(); }

inline QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

inline void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Types text at the end of the editor.
inline void Type(TSDIAppForm& form, const QString& text) {
    auto* editor = Component<QPlainTextEdit>(form, "Editor");
    editor->moveCursor(QTextCursor::End);
    editor->insertPlainText(text);
}

}  // namespace quarvo::testing
