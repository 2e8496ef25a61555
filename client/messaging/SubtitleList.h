#pragma once

#include <QAbstractListModel>
#include <QStringList>

// Text lines laid over a video, oldest first, at most maxLines of them: a new line beyond the
// limit pushes the oldest out, and every new line asks the user to restart its display timer.
class SubtitleList : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int maxLines READ maxLinesValue WRITE setMaxLines NOTIFY maxLinesChanged)
public:
    enum Roles { LabelRole = Qt::UserRole + 1 };

    explicit SubtitleList(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    int maxLinesValue() const { return maxLines; }
    void setMaxLines(int value);

    void append(const QString &line);
    Q_INVOKABLE bool pop();

signals:
    void maxLinesChanged();
    void timerNeedReset();

private:
    QStringList lines;
    int maxLines = 15;
};
