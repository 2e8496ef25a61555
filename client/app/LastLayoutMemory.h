#pragma once

#include <QString>
#include <QStringList>

// The layout the operator applied last on this machine, kept in the application's settings so
// that the next start of the console opens on it.
class LastLayoutMemory
{
public:
    // The remembered name; empty when none was kept. One too long to be acceptable (kept by an
    // earlier console) is removed from the settings, with a warning.
    QString name() const;
    // Does nothing for a name that is not acceptable.
    void remember(const QString &name);
    // The layout to open with among the server's layouts, in their order: the remembered one
    // when the server still has it, else the first; empty when there are none.
    QString choose(const QStringList &available) const;

    // Whether a layout name may be applied and kept: the settings file is read whole at every
    // start, so a name longer than maxNameBytes in UTF-8 is refused.
    static bool acceptable(const QString &name);

    static const QString settingsKey;
    static constexpr int maxNameBytes = 1024;
};
