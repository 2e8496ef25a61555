#pragma once

#include <QObject>

// An empty singleton kept for QML code that reaches for it; it has no members of its own.
class CppAccessor : public QObject
{
    Q_OBJECT

public:
    explicit CppAccessor(QObject *parent = nullptr);
};
