#pragma once

#include <QString>
#include <QStringList>

// The layout the operator applied last on this machine, kept in the application's settings so
// that the next start of the console opens on it.
class LastLayoutMemory
{
public:
    // The remembered name; empty when none was kept.
    QString name() const;
    void remember(const QString &name);
    // The layout to open with among the server's layouts, in their order: the remembered one
    // when the server still has it, else the first; empty when there are none.
    QString choose(const QStringList &available) const;

    static const QString settingsKey;
};
