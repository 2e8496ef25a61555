#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

// Hands layout requests on to be applied, one at a time: a request that comes while the
// gate is idle is applied at once; of those that come sooner after the last one applied than
// the pause (the longer of minPauseMs and the time the last build took), only the latest is
// kept and applied when the pause is over. However fast requests come, layouts are built at
// most once per pause.
class LayoutRequestGate : public QObject
{
    Q_OBJECT
public:
    using Apply = std::function<void(const QString &name, const QString &json)>;

    explicit LayoutRequestGate(Apply apply, int minPauseMs = 100, QObject *parent = nullptr);

    void request(const QString &name, const QString &json);
    // Forgets the request waiting, if any: something chosen later replaced it.
    void drop();

private:
    void applyNow(const QString &name, const QString &json);
    void onPauseOver();

    Apply m_apply;
    int m_minPauseMs;
    QTimer m_pause;
    bool m_waiting = false;
    int m_replaced = 0;
    QString m_name;
    QString m_json;
};
