#pragma once

#include <QList>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace skysail {

// One regular expression run over one subject, ECMAScript style: "\w" is ASCII, "."
// never crosses a line break (CR or LF), groups count from 1. Copies carry the pattern,
// the subject and the matches. Long subjects are safe: the engine does not recurse.
class RegexMatcher
{
public:
    // Runs pattern over subject and keeps the matches (every one with global, else the
    // first). With quotePlaceholder, "#引号" in the pattern stands for a double quote.
    // True when the run produced a match list, an empty one included; false when the
    // pattern does not compile.
    bool RunPattern(const QString& pattern, const QString& subject, bool caseSensitive = false, bool multiline = true,
        bool global = true, bool quotePlaceholder = false);

    QString GetPattern() const { return m_pattern; }
    // The subject with the matches replaced; "$&", "$1" … "$99" and "$$" in the
    // replacement stand for the match, its groups and a dollar sign.
    QString ReplaceMatches(const QString& replacement) const;
    int MatchCount() const { return static_cast<int>(m_matches.size()); }
    // The text of match matchIndex (from 1); empty when there is none. With wantPosition,
    // position receives the match's index in the subject.
    QString GetMatch(int matchIndex, qsizetype& position, bool wantPosition) const;
    QString GetMatch(int matchIndex) const;
    // The text of group subIndex (from 1) of match matchIndex; empty when either does not
    // exist or the group took part in no match. position as for GetMatch.
    QString GetSubMatch(int matchIndex, int subIndex, qsizetype& position, bool wantPosition) const;
    QString GetSubMatch(int matchIndex, int subIndex) const;
    // The number of groups of the first match; 0 without matches.
    int SubMatchCount() const;

private:
    struct Match
    {
        QString text;
        qsizetype start = 0;
        QStringList groups; // empty text for a group that took no part
        QList<qsizetype> groupStarts; // -1 for a group that took no part
    };

    QString m_pattern;
    QRegularExpression m_expression;
    QString m_subject;
    bool m_global = true;
    QList<Match> m_matches;
};

} // namespace skysail
