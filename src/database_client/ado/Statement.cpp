// SPDX-License-Identifier: GPL-3.0-or-later
#include "database_client/ado/Statement.h"

namespace ado {

namespace {

class Scanner {
public:
    explicit Scanner(const QString &text)
        : text_(text) {}

    void skipBlanks() {
        while (pos_ < text_.size() && text_[pos_].isSpace())
            ++pos_;
    }

    bool atEnd() const { return pos_ >= text_.size(); }
    qsizetype position() const { return pos_; }

    // A keyword followed by a blank or the given character.
    bool keyword(const QString &word) {
        skipBlanks();
        if (text_.mid(pos_, word.size()).compare(word, Qt::CaseInsensitive) != 0)
            return false;
        const qsizetype after = pos_ + word.size();
        if (after < text_.size() && isNameCharacter(text_[after]))
            return false;
        pos_ = after;
        return true;
    }

    bool symbol(QChar c) {
        skipBlanks();
        if (atEnd() || text_[pos_] != c)
            return false;
        ++pos_;
        return true;
    }

    // A bracketed name ("]]" for "]") or a plain one; empty when there is none.
    QString name() {
        skipBlanks();
        if (!atEnd() && text_[pos_] == u'[')
            return bracketed();
        const qsizetype start = pos_;
        while (pos_ < text_.size() && isNameCharacter(text_[pos_]))
            ++pos_;
        return text_.mid(start, pos_ - start);
    }

private:
    static bool isNameCharacter(QChar c) {
        return c.isLetterOrNumber() || c == u'_' || c == u'$' || c.isSurrogate();
    }

    QString bracketed() {
        QString out;
        for (qsizetype i = pos_ + 1; i < text_.size(); ++i) {
            if (text_[i] != u']') {
                out.append(text_[i]);
            } else if (i + 1 < text_.size() && text_[i + 1] == u']') {
                out.append(u']');
                ++i;
            } else {
                pos_ = i + 1;
                return out;
            }
        }
        return {};
    }

    const QString &text_;
    qsizetype pos_ = 0;
};

StatementError syntaxError(const Scanner &s, const QString &expected) {
    return StatementError{QStringLiteral("Syntax error in the command text at character %1: %2 expected.")
                              .arg(s.position() + 1)
                              .arg(expected)};
}

} // namespace

std::variant<SelectAll, StatementError> parseStatement(const QString &text) {
    Scanner s(text);
    if (!s.keyword(QStringLiteral("SELECT")))
        return syntaxError(s, QStringLiteral("SELECT"));
    if (!s.symbol(u'*'))
        return syntaxError(s, QStringLiteral("*"));
    if (!s.keyword(QStringLiteral("FROM")))
        return syntaxError(s, QStringLiteral("FROM"));
    const QString table = s.name();
    if (table.trimmed().isEmpty())
        return syntaxError(s, QStringLiteral("a table name"));
    s.symbol(u';');
    s.skipBlanks();
    if (!s.atEnd())
        return syntaxError(s, QStringLiteral("the end of the statement"));
    return SelectAll{table};
}

} // namespace ado
