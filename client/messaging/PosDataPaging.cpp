#include "PosDataPaging.h"

#include <QUrl>

#include <algorithm>
#include <cmath>

PosDataPaging::PosDataPaging(qint64 from, qint64 to)
    : m_from(from)
    , m_to(qMax(from, to))
    , m_cursor(from)
{
    if (m_to <= m_from)
        m_state = Step::Done;
}

QString PosDataPaging::nextUrl(const QString &gateway, const QString &streamId) const
{
    QString base = gateway;
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    QUrl url(base, QUrl::TolerantMode);
    url.setPath(url.path() + QStringLiteral("/pos-data"));
    // concatenated: a stream id's percent signs must not read as placeholders
    url.setQuery(QStringLiteral("strmId=") +
                 QString::fromLatin1(QUrl::toPercentEncoding(streamId)) + QStringLiteral("&from=") +
                 QString::number(m_cursor) + QStringLiteral("&to=") + QString::number(m_to - 1));
    return url.toString(QUrl::FullyEncoded);
}

PosDataPaging::Step PosDataPaging::takeAnswer(const QVariantMap &answer)
{
    if (answer.value(QStringLiteral("failed")).toBool())
        return fail(answer.value(QStringLiteral("reason")).toString(), true);
    const QString error = answer.value(QStringLiteral("error")).toString();
    if (!error.isEmpty())
        return fail(QStringLiteral("the answer is not JSON: %1").arg(error));
    if (!answer.value(QStringLiteral("hasArr")).toBool())
        return fail(QStringLiteral("the answer has no \"arr\""));
    const QVariantList timeList = answer.value(QStringLiteral("times")).toList();
    QVector<double> times;
    times.reserve(timeList.size());
    for (const QVariant &time : timeList)
        times.append(time.toDouble());
    bool hasNext = false;
    double next = answer.value(QStringLiteral("next")).toDouble(&hasNext);
    if (!hasNext)
        next = std::nan("");
    return take(times, answer.value(QStringLiteral("texts")).toStringList(),
                answer.value(QStringLiteral("more")).toBool(), next,
                answer.value(QStringLiteral("truncated")).toBool());
}

PosDataPaging::Step PosDataPaging::takeResult(const PosDataParser::Result &result, bool truncated)
{
    if (!result.error.isEmpty())
        return fail(QStringLiteral("the answer is not JSON: %1").arg(result.error));
    if (!result.hasArr)
        return fail(QStringLiteral("the answer has no \"arr\""));
    return take(result.times, result.texts, result.gatewayCut, result.next,
                truncated || result.beyondLimit > 0);
}

PosDataPaging::Step PosDataPaging::takeFailure(const QString &reason)
{
    return fail(reason, true);
}

PosDataPaging::Step PosDataPaging::fail(const QString &reason, bool unanswered)
{
    if (m_state != Step::More)
        return m_state;
    m_unanswered = unanswered;
    m_failure = reason.isEmpty() ? QStringLiteral("no answer") : reason;
    m_state = Step::Failed;
    return m_state;
}

PosDataPaging::Step PosDataPaging::take(const QVector<double> &times, const QStringList &texts,
                                        bool capped, double next, bool truncated)
{
    if (m_state != Step::More)
        return m_state;
    ++m_answers;
    QStringList again = m_atCursor;
    const int count = qMin(times.size(), texts.size());
    for (int i = 0; i < count; ++i) {
        const double time = times.at(i);
        // compared as read: a time far outside could not be held in whole milliseconds
        if (!(time >= double(m_cursor) && time < double(m_to))) {
            ++m_outside;
            continue;
        }
        const qint64 ms = qint64(time);
        if (ms == m_cursor && again.removeOne(texts.at(i)))
            continue;
        m_texts.append(PosText{ms, texts.at(i)});
    }
    if (m_texts.size() > kMaxTexts)
        return fail(QStringLiteral("more than %1 texts in the range").arg(kMaxTexts));
    bool more = false;
    qint64 resume = m_to;
    if (truncated) {
        m_truncated = true;
        m_failure = QStringLiteral("the answer was larger than this console reads");
    } else if (capped) {
        if (!std::isfinite(next))
            return fail(QStringLiteral("the answer was capped without a \"next\""));
        more = true;
        // compared as read first: a time far outside could not be held in whole milliseconds
        resume = next >= double(m_to)      ? m_to
                 : next > double(m_cursor) ? qint64(std::ceil(next))
                                           : m_cursor;
    }
    // Texts come in time order; one out of order is put in its place.
    std::stable_sort(m_texts.begin(), m_texts.end(),
                     [](const PosText &a, const PosText &b) { return a.time < b.time; });
    if (!more || resume >= m_to) {
        m_state = Step::Done;
        return m_state;
    }
    // The next answer must start later than this one did, or it would be this one again.
    if (resume <= m_cursor)
        return fail(
            QStringLiteral("the answer holds no text after %1 but was cut there").arg(m_cursor));
    m_cursor = resume;
    m_atCursor.clear();
    for (auto it = m_texts.crbegin(); it != m_texts.crend() && it->time >= resume; ++it) {
        if (it->time == resume)
            m_atCursor.append(it->text);
    }
    return m_state;
}
