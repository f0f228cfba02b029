// Keyword and comment colouring of the specification editor.
#include "app/LotosHighlighter.h"

namespace quarvo {
namespace {

// The state a block ends in: inside no comment, or inside one of either kind.
enum CommentState { Outside = -1, InBraces = 1, InStars = 2 };

}  // namespace

LotosHighlighter::LotosHighlighter(QTextDocument* document)
    : QSyntaxHighlighter(document),
      keywords_("\\b(system|endsys|process|endproc|where|hide|in|nil|exit|i|specification|behaviour|behavior|"
                "endspec|noexit|stop|choice|par)\\b",
                QRegularExpression::CaseInsensitiveOption) {
    keyword_.setFontWeight(QFont::Bold);
    keyword_.setForeground(QColor(0x00, 0x00, 0x80));
    comment_.setForeground(QColor(0x70, 0x70, 0x70));
    comment_.setFontItalic(true);
    comment_.setFontWeight(QFont::Normal);
}

void LotosHighlighter::highlightBlock(const QString& text) {
    for (auto it = keywords_.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        setFormat(static_cast<int>(m.capturedStart()), static_cast<int>(m.capturedLength()), keyword_);
    }
    // Comments last, over the keywords they hold.
    int state = previousBlockState();
    qsizetype position = 0;
    while (position < text.size()) {
        qsizetype start = position;
        if (state != InBraces && state != InStars) {
            const qsizetype brace = text.indexOf('{', position);
            const qsizetype stars = text.indexOf("(*", position);
            if (brace < 0 && stars < 0) break;
            if (stars < 0 || (brace >= 0 && brace < stars)) {
                state = InBraces;
                start = brace;
                position = brace + 1;
            } else {
                state = InStars;
                start = stars;
                position = stars + 2;
            }
        }
        const qsizetype end = state == InBraces ? text.indexOf('}', position) : text.indexOf("*)", position);
        if (end < 0) {
            setFormat(static_cast<int>(start), static_cast<int>(text.size() - start), comment_);
            setCurrentBlockState(state);
            return;
        }
        const qsizetype after = end + (state == InBraces ? 1 : 2);
        setFormat(static_cast<int>(start), static_cast<int>(after - start), comment_);
        position = after;
        state = Outside;
    }
    setCurrentBlockState(Outside);
}

}  // namespace quarvo
