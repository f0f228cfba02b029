// The editor's lines as the core reads them.
#pragma once

#include <string>
#include <vector>

#include <QPlainTextEdit>
#include <QStringList>
#include <QListWidget>
#include <QTextBlock>

#include "frontend/CoreInterfaces.h"

namespace quarvo {

// A snapshot of the editor's text, one UTF-8 string per editor line.
class EditorLines final : public LineSource {
public:
    explicit EditorLines(const QPlainTextEdit& editor) {
        for (QTextBlock block = editor.document()->begin(); block.isValid(); block = block.next())
            lines_.push_back(block.text().toStdString());
    }
    int LineCount() const override { return static_cast<int>(lines_.size()); }
    std::string Line(int index) const override { return lines_[static_cast<std::size_t>(index)]; }
    const std::vector<std::string>& Lines() const { return lines_; }

private:
    std::vector<std::string> lines_;
};

// Appends the core's messages to the main window's list.
class ListMessages final : public MessageSink {
public:
    explicit ListMessages(QListWidget& list) : list_(list) {}
    void Append(std::string_view line) override {
        list_.addItem(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
        list_.scrollToBottom();
    }
    void Clear() override { list_.clear(); }

private:
    QListWidget& list_;
};

}  // namespace quarvo
