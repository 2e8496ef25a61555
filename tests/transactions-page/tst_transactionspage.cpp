// The transactions page end to end, in the console's whole scene signed in to an in-process
// simulated site whose tills have a generated past: Ctrl+T opens the page, a word typed finds
// the receipts the site's generator printed, the table shows them and sorts them by amount,
// one till alone is searched when chosen, a till whose gateway is gone is said plainly, the
// results export as CSV, a bad range is refused with a message, and a double click opens the
// recorded page on that till at that receipt. The chips list the tills (streams marked so), the
// other cameras behind "Other cameras"; rows whose moment no recording holds say "no video".
#include "ConsoleScene.h"
#include "SimServer.h"
#include "Startup.h"

#include <ReceiptGenerator.h>
#include <Site.h>

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <memory>

namespace {

constexpr int kDeadline = 90000;
constexpr std::uint64_t kSeed = 7;

struct SiteTill
{
    std::int64_t streamId;
    const char *name;
};
// Tills 1 and 2 on the gateway; Till 3 on a device no gateway answers for.
const SiteTill till1{12, "Till 1"};
const SiteTill till2{15, "Till 2"};

// Till 1's recordings: yesterday from 10:00 to 18:00 (listed, its file lost: nothing to make).
qint64 recordedFrom()
{
    return QDateTime(QDate::currentDate().addDays(-1), QTime(10, 0)).toMSecsSinceEpoch();
}
qint64 recordedTo()
{
    return QDateTime(QDate::currentDate().addDays(-1), QTime(18, 0)).toMSecsSinceEpoch();
}

std::string siteJson()
{
    return QStringLiteral(R"({
        "name": "Tills", "rootId": 1,
        "users": [{"id": 500, "name": "operator", "password": "operator"}],
        "objects": [
          {"id": 1, "name": "Shop", "type": 7, "class": "location.SITE", "parent": 0},
          {"id": 2, "name": "Gateway", "type": 2, "class": "device.GATEWAY", "parent": 1,
           "httpPort": 0, "settings": {"address": "127.0.0.1"}},
          {"id": 12, "name": "Till 1", "type": 10, "class": "stream.VIDEO", "parent": 2,
           "settings": {"till": true},
           "chunks": [{"start": %2, "end": %3, "size": 1000, "unavailable": true}],
           "pos": {"generator": {"seed": %1, "historyDays": 2, "till": "Till 1"}}},
          {"id": 15, "name": "Till 2", "type": 10, "class": "stream.VIDEO", "parent": 2,
           "settings": {"till": true},
           "pos": {"generator": {"seed": %1, "historyDays": 2, "till": "Till 2"}}},
          {"id": 18, "name": "Car park", "type": 10, "class": "stream.VIDEO", "parent": 2},
          {"id": 3, "name": "Old recorder", "type": 2, "class": "device.RECORDER", "parent": 1,
           "settings": {"address": "127.0.0.3"}},
          {"id": 16, "name": "Till 3", "type": 10, "class": "stream.VIDEO", "parent": 3,
           "settings": {"till": true}}
        ]})")
        .arg(kSeed)
        .arg(recordedFrom())
        .arg(recordedTo())
        .toStdString();
}

// What the site's generator printed on these tills in [from, to), and those holding the word.
struct Printed
{
    int all = 0;
    std::vector<ardix::sim::Receipt> matching;
    std::vector<QString> tills;
};

Printed printed(const std::vector<SiteTill> &tills, qint64 from, qint64 to, const QString &word)
{
    Printed result;
    for (const SiteTill &till : tills) {
        const ardix::sim::ReceiptGenerator generator(kSeed, till.streamId, till.name);
        for (const ardix::sim::Receipt &receipt : generator.between(from, to)) {
            ++result.all;
            if (QString::fromStdString(receipt.text).contains(word, Qt::CaseInsensitive)) {
                result.matching.push_back(receipt);
                result.tills.push_back(QString::fromLatin1(till.name));
            }
        }
    }
    return result;
}

// The amount on a receipt's TOTAL line.
double totalOf(const std::string &text)
{
    for (const QString &line : QString::fromStdString(text).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("TOTAL")))
            return line.section(QLatin1Char(' '), -1).toDouble();
    }
    return qQNaN();
}

QQuickItem *findItem(QQuickItem *root, const QString &name)
{
    if (!root)
        return nullptr;
    if (root->objectName() == name)
        return root;
    for (QQuickItem *child : root->childItems()) {
        if (QQuickItem *found = findItem(child, name))
            return found;
    }
    return nullptr;
}

// The texts of the labels of an item, in the order drawn.
QStringList labelTexts(QQuickItem *item)
{
    QStringList texts;
    for (QQuickItem *child : item->childItems()) {
        const QVariant text = child->property("text");
        if (text.isValid() && child->inherits("QQuickText"))
            texts.append(text.toString());
        texts.append(labelTexts(child));
    }
    return texts;
}

} // namespace

class TestTransactionsPage : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<SimServer> m_server;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QQuickWindow *m_window = nullptr;
    QQuickItem *m_page = nullptr;
    QObject *m_search = nullptr;
    QAbstractItemModel *m_results = nullptr;
    QQuickItem *m_list = nullptr;

    QQuickItem *item(const char *name) const
    {
        return findItem(m_window->contentItem(), QLatin1String(name));
    }

    void click(QQuickItem *target, int clicks = 1)
    {
        QVERIFY(target);
        QVERIFY(target->isVisible());
        const QPoint at =
            target->mapToScene(QPointF(target->width() / 2, target->height() / 2)).toPoint();
        if (clicks == 2)
            QTest::mouseDClick(m_window, Qt::LeftButton, Qt::NoModifier, at);
        else
            QTest::mouseClick(m_window, Qt::LeftButton, Qt::NoModifier, at);
    }

    // Types into a field as the operator does: a click into it, its text selected and replaced.
    void type(const char *field, const QString &text)
    {
        click(item(field));
        QTest::keyClick(m_window, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(m_window, Qt::Key_Backspace);
        for (const QChar c : text)
            QTest::keyClick(m_window, c.toLatin1());
        QCOMPARE(item(field)->property("text").toString(), text);
    }

    void searchAndWait()
    {
        QSignalSpy finished(m_search, SIGNAL(finished()));
        click(item("searchButton"));
        QVERIFY(finished.wait(kDeadline));
        QCOMPARE(m_page->property("inputError").toString(), QString());
    }

    Printed expected(const std::vector<SiteTill> &tills, const QString &word) const
    {
        return printed(tills, qint64(m_page->property("searchedFrom").toDouble()),
                       qint64(m_page->property("searchedTo").toDouble()), word);
    }

    // The table's row as drawn; null when it is not (yet) made.
    QQuickItem *rowItem(int row) const
    {
        QQuickItem *item = nullptr;
        QMetaObject::invokeMethod(m_list, "itemAtIndex", Q_RETURN_ARG(QQuickItem *, item),
                                  Q_ARG(int, row));
        return item;
    }

    QVariant result(int row, const char *role) const
    {
        return m_results->data(m_results->index(row, 0), m_results->roleNames().key(role));
    }

private slots:
    void initTestCase()
    {
        std::setlocale(LC_NUMERIC, "C");
        std::string error;
        m_server = SimServer::fromJson(siteJson(), QDateTime::currentMSecsSinceEpoch(), error);
        QVERIFY2(m_server, error.c_str());

        QSettings stored;
        stored.setValue(QStringLiteral("host"), QStringLiteral("127.0.0.1"));
        stored.setValue(QStringLiteral("port"), QString::number(m_server->port()));
        stored.setValue(QStringLiteral("user"), QStringLiteral("operator"));
        stored.setValue(QStringLiteral("pass"), QStringLiteral("operator"));
        stored.setValue(QStringLiteral("Window/geometry"), QRect(0, 0, 1100, 700));
        stored.sync();

        m_engine = std::make_unique<QQmlApplicationEngine>();
        Startup::loadScene(*m_engine, QStringLiteral("0"),
                           QUrl(QStringLiteral("qrc:/qml/main.qml")));
        QCOMPARE(m_engine->rootObjects().size(), 1);
        m_window = qobject_cast<QQuickWindow *>(m_engine->rootObjects().first());
        QVERIFY(m_window);
        QTRY_VERIFY_WITH_TIMEOUT(item("mainPage"), kDeadline);
        m_window->resize(1100, 700);
        m_window->requestActivate();
        QVERIFY(QTest::qWaitForWindowActive(m_window));

        m_page = item("transactionsPage");
        QVERIFY(m_page);
        auto *tills = m_page->findChild<QAbstractItemModel *>(QStringLiteral("tillList"));
        QVERIFY(tills);
        new QAbstractItemModelTester(tills, QAbstractItemModelTester::FailureReportingMode::QtTest,
                                     this);
        m_search = m_page->findChild<QObject *>(QStringLiteral("transactionSearch"));
        QVERIFY(m_search);
        m_results = m_search->property("results").value<QAbstractItemModel *>();
        QVERIFY(m_results);
        new QAbstractItemModelTester(m_results,
                                     QAbstractItemModelTester::FailureReportingMode::QtTest, this);
        m_list = item("transactionResults");
        QVERIFY(m_list);
        // The site's tills are known once signed in: the three, by name.
        QTRY_VERIFY_WITH_TIMEOUT(item("till_16"), kDeadline);
    }

    void cleanupTestCase()
    {
        m_engine.reset();
        m_server.reset();
    }

    void ctrlTOpensThePage()
    {
        QVERIFY(!m_page->isVisible());
        QVERIFY(scene::pressUntil(
            m_window, Qt::Key_T, Qt::ControlModifier, [this] { return m_page->isVisible(); },
            kDeadline));
        QTRY_VERIFY_WITH_TIMEOUT(item("transactionQuery")->hasActiveFocus(), kDeadline);
    }

    // All tills, yesterday, "refund": the receipts the generator printed with REFUND, and every
    // receipt of the two tills that answer searched; Till 3's gateway is said to be gone.
    void wordFindsTheGeneratedReceipts()
    {
        click(item("periodYesterday"));
        type("transactionQuery", QStringLiteral("refund"));
        searchAndWait();

        const Printed want = expected({till1, till2}, QStringLiteral("refund"));
        QVERIFY2(want.matching.size() > 10, "the site prints refunds every day");
        QCOMPARE(m_search->property("resultCount").toInt(), int(want.matching.size()));
        QCOMPARE(m_search->property("receiptsSearched").toInt(), want.all);
        QCOMPARE(m_list->property("count").toInt(), int(want.matching.size()));
        const QString status = item("transactionStatus")->property("text").toString();
        QVERIFY2(status.startsWith(QString::number(want.matching.size()) +
                                   QStringLiteral(" receipts found in ")),
                 qPrintable(status));

        QQuickItem *problems = item("transactionProblems");
        QVERIFY(problems->isVisible());
        const QString said = problems->property("text").toString();
        QVERIFY2(said.contains(QStringLiteral("Till 3")), qPrintable(said));
        QVERIFY2(!said.contains(QStringLiteral("Till 1")), qPrintable(said));

        // oldest first: the first row is the first refund of the day, as the till printed it
        auto first =
            std::min_element(want.matching.begin(), want.matching.end(),
                             [](const auto &a, const auto &b) { return a.timeMs < b.timeMs; });
        QCOMPARE(result(0, "time").toLongLong(), qint64(first->timeMs));
        const QString firstLine =
            QString::fromStdString(first->text).section(QLatin1Char('\n'), 0, 0);
        // the row as drawn follows the model once the view has laid its rows out again
        QTRY_VERIFY_WITH_TIMEOUT(rowItem(0) && labelTexts(rowItem(0)).contains(firstLine),
                                 kDeadline);
        const QStringList shown = labelTexts(rowItem(0));
        QVERIFY2(shown.contains(
                     QDateTime::fromMSecsSinceEpoch(first->timeMs).toString("yyyy-MM-dd HH:mm:ss")),
                 qPrintable(shown.join(QLatin1Char('|'))));
    }

    // The chips: the tills; the car park only once "Other cameras" is clicked, and never
    // searched with "All".
    void tillsFirstOtherCamerasBehind()
    {
        QVERIFY(item("till_12")->isVisible() && item("till_15")->isVisible() &&
                item("till_16")->isVisible());
        QVERIFY(!item("till_18")->isVisible());
        QVariantList searched;
        QObject *tills = m_page->findChild<QObject *>(QStringLiteral("tillList"));
        QMetaObject::invokeMethod(tills, "searched", Q_RETURN_ARG(QVariantList, searched));
        QStringList ids;
        for (const QVariant &till : searched)
            ids << till.toMap().value("streamId").toString();
        QCOMPARE(ids, QStringList({"12", "15", "16"}));
        click(item("otherCameras"));
        QTRY_VERIFY_WITH_TIMEOUT(item("till_18")->isVisible(), kDeadline);
        click(item("otherCameras"));
        QTRY_VERIFY_WITH_TIMEOUT(!item("till_18")->isVisible(), kDeadline);
        // texts received on a camera's channel make it a till
        QMetaObject::invokeMethod(tills, "noteTexts", Q_ARG(QString, QStringLiteral("18")));
        QTRY_VERIFY_WITH_TIMEOUT(item("till_18") && item("till_18")->isVisible(), kDeadline);
        QVERIFY(!item("otherCameras")->isVisible());
    }

    // Each row says "no video" once its till's recordings are known not to hold its moment:
    // Till 1's rows outside yesterday 10:00-18:00, and all of Till 2's (it records nothing).
    void rowsOutsideTheRecordingsSayNoVideo()
    {
        int recorded = 0;
        for (int row = 0; row < m_results->rowCount(); ++row) {
            const qint64 time = result(row, "time").toLongLong();
            const bool covered = result(row, "streamId").toString() == QLatin1String("12") &&
                                 time >= recordedFrom() && time < recordedTo();
            recorded += covered ? 1 : 0;
            QTRY_COMPARE_WITH_TIMEOUT(result(row, "noVideo").toBool(), !covered, kDeadline);
        }
        QVERIFY(recorded > 0 && recorded < m_results->rowCount());
        QTRY_VERIFY_WITH_TIMEOUT(rowItem(0), kDeadline);
        QCOMPARE(labelTexts(rowItem(0)).contains(QStringLiteral("no video")),
                 result(0, "noVideo").toBool());
    }

    // A click on the amount's header: the largest amount by size first, a refund of -31.96
    // above one of -0.59, as the receipts' totals say; each row says it is a refund.
    void amountHeaderPutsTheLargestFirst()
    {
        const Printed want = expected({till1, till2}, QStringLiteral("refund"));
        double largest = 0;
        for (const auto &receipt : want.matching) {
            if (std::fabs(totalOf(receipt.text)) > std::fabs(largest))
                largest = totalOf(receipt.text);
        }
        click(item("sortByAmount"));
        QTRY_COMPARE_WITH_TIMEOUT(qAbs(result(0, "amount").toDouble() - largest) < 0.001, true,
                                  kDeadline);
        for (int row = 1; row < m_results->rowCount(); ++row) {
            QVERIFY(std::fabs(result(row - 1, "amount").toDouble()) >=
                    std::fabs(result(row, "amount").toDouble()));
            QCOMPARE(result(row, "kind").toString(), QStringLiteral("REFUND"));
        }
        QTRY_VERIFY_WITH_TIMEOUT(
            rowItem(0) && labelTexts(rowItem(0)).contains(QString::number(largest, 'f', 2)),
            kDeadline);
        QVERIFY(labelTexts(rowItem(0)).contains(QStringLiteral("REFUND")));
    }

    // The CSV goes to the documents folder, a second one beside it rather than over it; it is
    // written off the GUI thread, the note said once it is whole.
    void exportWritesACsvFile()
    {
        click(item("exportButton"));
        QTRY_VERIFY_WITH_TIMEOUT(
            item("exportNote")->property("text").toString().startsWith(QStringLiteral("Saved: ")),
            kDeadline);
        const QString note = item("exportNote")->property("text").toString();
        QVERIFY2(note.startsWith(QStringLiteral("Saved: ")), qPrintable(note));
        const QString path = note.mid(7);
        QVERIFY2(
            path.startsWith(QDir::homePath() + QStringLiteral("/Documents/Ardix/transactions-")),
            qPrintable(path));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray csv = file.readAll();
        QVERIFY(csv.count("REFUND") >= m_results->rowCount());

        QTRY_VERIFY_WITH_TIMEOUT(item("exportButton")->property("enabled").toBool(), kDeadline);
        click(item("exportButton"));
        QTRY_VERIFY_WITH_TIMEOUT(item("exportNote")->property("text").toString() != note &&
                                     item("exportNote")
                                         ->property("text")
                                         .toString()
                                         .startsWith(QStringLiteral("Saved: ")),
                                 kDeadline);
        const QString second = item("exportNote")->property("text").toString().mid(7);
        QVERIFY(second != path);
        QVERIFY(QFile::exists(second) && QFile::exists(path));
    }

    // Till 2 chosen alone: its receipts only.
    void chosenTillAloneIsSearched()
    {
        click(item("till_15"));
        QTRY_VERIFY_WITH_TIMEOUT(item("till_15")->property("on").toBool(), kDeadline);
        QVERIFY(!item("allTills")->property("on").toBool());
        searchAndWait();
        const Printed want = expected({till2}, QStringLiteral("refund"));
        QCOMPARE(m_search->property("resultCount").toInt(), int(want.matching.size()));
        for (int row = 0; row < m_results->rowCount(); ++row)
            QCOMPARE(result(row, "till").toString(), QStringLiteral("Till 2"));
        QVERIFY(!item("transactionProblems")->isVisible());
        click(item("allTills"));
        QTRY_VERIFY_WITH_TIMEOUT(item("allTills")->property("on").toBool(), kDeadline);
    }

    void badInputIsRefused_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("minimum");
        QTest::addColumn<QString>("message");
        QTest::newRow("from after to") << "2024-05-14 18:00"
                                       << "2024-05-14 08:00"
                                       << ""
                                       << "\"From\" must come before \"To\"";
        QTest::newRow("no such day") << "2024-02-30 08:00"
                                     << "2024-03-01 08:00"
                                     << ""
                                     << "\"From\" is not a date";
        QTest::newRow("hour 25") << "2024-05-14 08:00"
                                 << "2024-05-14 25:00"
                                 << ""
                                 << "\"To\" is not a date";
        QTest::newRow("words for a date") << "yesterday 08:00"
                                          << "2024-05-14 09:00"
                                          << ""
                                          << "\"From\" is not a date";
        QTest::newRow("amount") << "2024-05-14 08:00"
                                << "2024-05-14 09:00"
                                << "12.3.4"
                                << "The minimum amount is not a number";
    }

    void badInputIsRefused()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, minimum);
        QFETCH(QString, message);
        click(item("periodCustom"));
        type("fromDate", from.section(QLatin1Char(' '), 0, 0));
        type("fromTime", from.section(QLatin1Char(' '), 1));
        type("toDate", to.section(QLatin1Char(' '), 0, 0));
        type("toTime", to.section(QLatin1Char(' '), 1));
        if (minimum.isEmpty()) {
            item("transactionMinAmount")->setProperty("text", QString());
        } else {
            type("transactionMinAmount", minimum);
        }
        const int before = m_results->rowCount();
        click(item("searchButton"));
        QQuickItem *error = item("transactionInputError");
        QTRY_VERIFY_WITH_TIMEOUT(error->isVisible(), kDeadline);
        QVERIFY2(error->property("text").toString().startsWith(message),
                 qPrintable(error->property("text").toString()));
        QVERIFY(!m_search->property("running").toBool());
        QCOMPARE(m_results->rowCount(), before);
    }

    // A double click plays the till's recording at that receipt on the recorded page.
    void doubleClickOpensTheRecording()
    {
        click(item("periodYesterday"));
        item("transactionMinAmount")->setProperty("text", QString());
        searchAndWait();
        QVERIFY(m_results->rowCount() > 0);
        QSignalSpy opened(m_page, SIGNAL(receiptActivated(QString, QString, qreal, QString)));
        QTRY_VERIFY_WITH_TIMEOUT(rowItem(2), kDeadline);
        const qint64 time = qint64(result(2, "time").toDouble());
        const QString stream = result(2, "streamId").toString();
        click(rowItem(2), 2);
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened.first().at(0).toString(), QStringLiteral("2"));
        QCOMPARE(opened.first().at(1).toString(), stream);
        QCOMPARE(qint64(opened.first().at(2).toDouble()), time);
        // the text as the site's till printed it at that moment
        const SiteTill till = stream == QStringLiteral("12") ? till1 : till2;
        const auto printedThen =
            ardix::sim::ReceiptGenerator(kSeed, till.streamId, till.name).between(time, time + 1);
        QCOMPARE(printedThen.size(), std::size_t(1));
        QCOMPARE(opened.first().at(3).toString(), QString::fromStdString(printedThen[0].text));

        QQuickItem *recorded = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((recorded = item("recordedPage")) && recorded->isVisible(),
                                 kDeadline);
        QTRY_VERIFY_WITH_TIMEOUT(!m_page->isVisible(), kDeadline);
        QTRY_COMPARE_WITH_TIMEOUT(recorded->property("streamId").toString(), stream, kDeadline);
        QCOMPARE(qint64(recorded->property("receiptTime").toDouble()), time);

        // and back: the results wait where they were
        QVERIFY(scene::pressUntil(
            m_window, Qt::Key_T, Qt::ControlModifier, [this] { return m_page->isVisible(); },
            kDeadline));
        QVERIFY(m_results->rowCount() > 0);
    }
};

int main(int argc, char *argv[])
{
    // The identity decides where the settings store is, so it comes before the application.
    Startup::setIdentity();
    QGuiApplication app(argc, argv);
    TestTransactionsPage test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_transactionspage.moc"
