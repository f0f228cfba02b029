// The pieces of LOTOS text that the template chooser inserts.
#pragma once

#include <optional>

#include <QString>

#include "app/UserDialogs.h"

namespace quarvo {

// The text that entry index inserts at the caret, after asking the names it
// needs; nothing when an input box was cancelled or the entry inserts nothing.
std::optional<QString> TemplateText(int index, UserDialogs& dialogs, QWidget* parent);

}  // namespace quarvo
