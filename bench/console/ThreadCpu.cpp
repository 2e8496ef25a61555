#include "ThreadCpu.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <unistd.h>

ThreadCpu::ThreadCpu(qint64 pid)
    : m_pid(pid)
{}

void ThreadCpu::sample()
{
    m_before = m_now;
    m_now.clear();
    const double tick = static_cast<double>(::sysconf(_SC_CLK_TCK));
    const QString folder = QStringLiteral("/proc/%1/task").arg(m_pid);
    for (const QString &tid : QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(folder + QLatin1Char('/') + tid + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QString line = QString::fromUtf8(stat.readAll());
        // "tid (name) state ..." where the name may itself hold spaces and parentheses.
        const int open = line.indexOf(QLatin1Char('('));
        const int close = line.lastIndexOf(QLatin1Char(')'));
        if (open < 0 || close < open)
            continue;
        const QStringList fields = line.mid(close + 2).split(QLatin1Char(' '));
        // After the name: state is field 3 of the line, utime 14 and stime 15.
        if (fields.size() < 13)
            continue;
        const double seconds = (fields.at(11).toDouble() + fields.at(12).toDouble()) / tick;
        m_now.insert(tid.toLongLong(), {kindOf(line.mid(open + 1, close - open - 1)), seconds});
    }
}

QMap<QString, QPair<double, int>> ThreadCpu::sinceLast() const
{
    QMap<QString, QPair<double, int>> kinds;
    for (auto it = m_now.cbegin(); it != m_now.cend(); ++it) {
        const double before = m_before.value(it.key(), {QString(), 0.0}).second;
        QPair<double, int> &kind = kinds[it.value().first];
        kind.first += it.value().second - before;
        kind.second += 1;
    }
    return kinds;
}

QString ThreadCpu::kindOf(QString name)
{
    static const QRegularExpression number(QStringLiteral("[0-9]+$"));
    if (name.contains(number))
        name.replace(number, QStringLiteral("N"));
    return name;
}
