#include "web/regex_matcher.h"

namespace skysail {

bool RegexMatcher::RunPattern(const QString& pattern, const QString& subject, bool caseSensitive, bool multiline,
    bool global, bool quotePlaceholder)
{
    m_matches.clear();
    m_expression = QRegularExpression();
    m_pattern = pattern;
    if (quotePlaceholder)
        m_pattern.replace(QStringLiteral("#引号"), QStringLiteral("\""));
    m_subject = subject;
    m_global = global;

    QRegularExpression::PatternOptions options = QRegularExpression::NoPatternOption;
    if (!caseSensitive)
        options |= QRegularExpression::CaseInsensitiveOption;
    if (multiline)
        options |= QRegularExpression::MultilineOption;
    // CR and LF both end a line, so "." crosses neither and "^"/"$" see both, as in ECMAScript.
    m_expression = QRegularExpression(QStringLiteral("(*ANYCRLF)") + m_pattern, options);
    if (!m_expression.isValid())
        return false;

    QRegularExpressionMatchIterator it = m_expression.globalMatch(m_subject);
    while (it.hasNext()) {
        const QRegularExpressionMatch found = it.next();
        Match match;
        match.text = found.captured(0);
        match.start = found.capturedStart(0);
        for (int group = 1; group <= m_expression.captureCount(); ++group) {
            match.groups.append(found.captured(group));
            match.groupStarts.append(found.capturedStart(group));
        }
        m_matches.append(match);
        if (!global)
            break;
    }
    return true;
}

QString RegexMatcher::ReplaceMatches(const QString& replacement) const
{
    QString out;
    qsizetype from = 0;
    for (const Match& match : m_matches) {
        out += QStringView(m_subject).mid(from, match.start - from);
        for (qsizetype i = 0; i < replacement.size(); ++i) {
            const QChar c = replacement[i];
            const QChar next = i + 1 < replacement.size() ? replacement[i + 1] : QChar();
            if (c != u'$' || next.isNull()) {
                out += c;
            } else if (next == u'$') {
                out += u'$';
                ++i;
            } else if (next == u'&') {
                out += match.text;
                ++i;
            } else if (next.isDigit() && next.unicode() < 128) {
                int group = next.digitValue();
                qsizetype used = 1;
                const QChar second = i + 2 < replacement.size() ? replacement[i + 2] : QChar();
                if (second.isDigit() && second.unicode() < 128
                    && group * 10 + second.digitValue() <= match.groups.size()) {
                    group = group * 10 + second.digitValue();
                    used = 2;
                }
                if (group >= 1 && group <= match.groups.size()) {
                    out += match.groups[group - 1];
                    i += used;
                } else {
                    out += c;
                }
            } else {
                out += c;
            }
        }
        from = match.start + match.text.size();
    }
    out += QStringView(m_subject).mid(from);
    return out;
}

QString RegexMatcher::GetMatch(int matchIndex, qsizetype& position, bool wantPosition) const
{
    if (matchIndex < 1 || matchIndex > m_matches.size())
        return {};
    const Match& match = m_matches[matchIndex - 1];
    if (wantPosition)
        position = match.start;
    return match.text;
}

QString RegexMatcher::GetMatch(int matchIndex) const
{
    qsizetype unused = 0;
    return GetMatch(matchIndex, unused, false);
}

QString RegexMatcher::GetSubMatch(int matchIndex, int subIndex, qsizetype& position, bool wantPosition) const
{
    if (matchIndex < 1 || matchIndex > m_matches.size())
        return {};
    const Match& match = m_matches[matchIndex - 1];
    if (subIndex < 1 || subIndex > match.groups.size() || match.groupStarts[subIndex - 1] < 0)
        return {};
    if (wantPosition)
        position = match.groupStarts[subIndex - 1];
    return match.groups[subIndex - 1];
}

QString RegexMatcher::GetSubMatch(int matchIndex, int subIndex) const
{
    qsizetype unused = 0;
    return GetSubMatch(matchIndex, subIndex, unused, false);
}

int RegexMatcher::SubMatchCount() const
{
    return m_matches.isEmpty() ? 0 : static_cast<int>(m_matches.front().groups.size());
}

} // namespace skysail
