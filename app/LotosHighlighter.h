// The colours of the editor: keywords of both syntaxes of LOTOS and their comments.
#pragma once

#include <QRegularExpression>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>

namespace quarvo {

// Keywords of our dialect (SYSTEM … ENDSYS) and of the standard syntax
// (specification … endspec), in any case, in bold; comments, "{ … }" and
// "(* … *)", over several lines too, in grey.
class LotosHighlighter final : public QSyntaxHighlighter {
public:
    explicit LotosHighlighter(QTextDocument* document);

    // The formats, for the tests.
    const QTextCharFormat& KeywordFormat() const { return keyword_; }
    const QTextCharFormat& CommentFormat() const { return comment_; }

protected:
    void highlightBlock(const QString& text) override;

private:
    QRegularExpression keywords_;
    QTextCharFormat keyword_;
    QTextCharFormat comment_;
};

}  // namespace quarvo
