#include "PosTextPager.h"

#include "PosDataFetcher.h"

#include <QDateTime>
#include <QDebug>

PosTextPager::PosTextPager(QObject *parent)
    : QObject(parent)
    , m_fetcher(new PosDataFetcher(this))
{
    qRegisterMetaType<PosTextPager::Outcome>();
    connect(m_fetcher, &PosDataFetcher::finished, this, &PosTextPager::handleAnswer);
}

PosTextPager::~PosTextPager() = default;

void PosTextPager::setTimeout(int milliseconds)
{
    m_fetcher->setTimeout(milliseconds);
}

void PosTextPager::setMaxLines(int lines)
{
    m_fetcher->setMaxLines(lines);
}

void PosTextPager::fetch(const QString &gateway, const QString &streamId, qint64 from, qint64 to)
{
    cancel();
    m_gateway = gateway;
    m_streamId = streamId;
    m_from = from;
    m_paging = std::make_unique<PosDataPaging>(from, to);
    askNext();
}

void PosTextPager::cancel()
{
    m_fetcher->cancel();
    m_paging.reset();
}

void PosTextPager::askNext()
{
    m_fetcher->fetch(m_paging->nextUrl(m_gateway, m_streamId));
}

void PosTextPager::handleAnswer(const QVariantMap &answer)
{
    if (!m_paging)
        return;
    if (m_paging->takeAnswer(answer) == PosDataPaging::Step::More) {
        askNext();
        return;
    }
    std::unique_ptr<PosDataPaging> done = std::move(m_paging);
    if (done->answers() > 1)
        qInfo().noquote()
            << QStringLiteral("Channel texts of stream %1 from %2: %3 texts in %4 answers%5")
                   .arg(m_streamId,
                        QDateTime::fromMSecsSinceEpoch(m_from, Qt::UTC).toString(Qt::ISODate))
                   .arg(done->texts().size())
                   .arg(done->answers())
                   .arg(done->complete() ? QString() : QStringLiteral(", not complete"));
    Outcome outcome;
    outcome.complete = done->complete();
    outcome.failed = done->failed();
    outcome.unanswered = done->unanswered();
    outcome.reason = done->failure();
    outcome.outside = done->outside();
    outcome.answers = done->answers();
    outcome.texts = done->takeTexts();
    // A handler may start the next fetch at once.
    emit finished(outcome);
}
