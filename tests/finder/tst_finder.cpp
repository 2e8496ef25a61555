// Finding objects of the camera tree and layouts by typing: what matches (case, accents,
// serials, characters of patterns taken as written), which ancestors come with the matches,
// which stream Enter shows, and the layouts keeping their numbers when filtered.
#include "FoundObjects.h"
#include "NameFilter.h"
#include "ObjectFinder.h"
#include "ObjectIndex.h"
#include "ZarnObjectsRepository.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <memory>

namespace {

const QString sep = QStringLiteral("|");

void add(ZarnObjectsRepository &repository, const QString &id, const QString &path,
         ZarnObject::Type type, const QString &serial = QString())
{
    auto obj = std::make_shared<ZarnObject>();
    obj->setId(id);
    obj->setPath(path);
    obj->setName(path.section(sep, -1));
    obj->setType(type);
    obj->setSerial(serial);
    QVERIFY(repository.add(obj, sep));
}

// A chain of two towns: a café with two cameras and a door, a store room with a door only, and
// a gateway whose names and serials are full of pattern characters.
void fillChain(ZarnObjectsRepository &r)
{
    add(r, "1", "Chain", ZarnObject::Location);
    add(r, "2", "Chain|Zürich", ZarnObject::Location);
    add(r, "3", "Chain|Zürich|Café de la Gare", ZarnObject::Device, "AX-9000");
    add(r, "31", "Chain|Zürich|Café de la Gare|Entrée", ZarnObject::Stream, "ST-(1)*");
    add(r, "32", "Chain|Zürich|Café de la Gare|Caisse", ZarnObject::Stream);
    add(r, "33", "Chain|Zürich|Café de la Gare|Porte [arrière]", ZarnObject::Sensor);
    add(r, "4", "Chain|Zürich|Dépôt", ZarnObject::Device, "DEP-1");
    add(r, "41", "Chain|Zürich|Dépôt|Porte", ZarnObject::Sensor);
    add(r, "5", "Chain|Genève", ZarnObject::Location);
    add(r, "6", "Chain|Genève|Gate.1\\x", ZarnObject::Device);
    add(r, "61", "Chain|Genève|Gate.1\\x|Quai *2*", ZarnObject::Stream);
    // no user belongs in the tree, nor is found
    add(r, "90", "Chain|Zoé", ZarnObject::User);
}

// The found rows as "label" lines indented by level, "*" after a match.
QStringList describe(const QAbstractItemModel *model)
{
    QStringList lines;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex i = model->index(row, 0);
        lines << QString(i.data(FoundObjects::LevelRole).toInt() * 2, QLatin1Char(' ')) +
                     i.data(FoundObjects::LabelRole).toString() +
                     (i.data(FoundObjects::MatchRole).toBool() ? "*" : "");
    }
    return lines;
}

} // namespace

class TestFinder : public QObject
{
    Q_OBJECT

private slots:
    void matches_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("rows");

        const QString chain = QStringLiteral("Chain");
        const QString zurich = QStringLiteral("  Zürich");
        const QString cafe = QStringLiteral("    Café de la Gare");
        const QString gate = QStringLiteral("    Gate.1\\x");
        QTest::newRow("accents dropped") << "cafe" << QStringList{chain, zurich, cafe + "*"};
        QTest::newRow("case dropped") << "ZURICH" << QStringList{chain, zurich + "*"};
        QTest::newRow("spaces as one") << "  de   la " << QStringList{chain, zurich, cafe + "*"};
        QTest::newRow("device serial") << "ax-90" << QStringList{chain, zurich, cafe + "*"};
        QTest::newRow("ancestors open over a deep match")
            << "entree" << QStringList{chain, zurich, cafe, "      Entrée*"};
        QTest::newRow("matches in two branches")
            << "porte" << QStringList{chain,       zurich,        cafe, "      Porte [arrière]*",
                                      "    Dépôt", "      Porte*"};
        QTest::newRow("a match under a match")
            << "e" << QStringList{chain,           zurich,          cafe + "*",
                                  "      Entrée*", "      Caisse*", "      Porte [arrière]*",
                                  "    Dépôt*",    "      Porte*",  "  Genève*",
                                  gate + "*"};
        QTest::newRow("star") << "*"
                              << QStringList{
                                     chain, zurich,           cafe, "      Entrée*", "  Genève",
                                     gate,  "      Quai *2**"};
        QTest::newRow("backslash") << "\\" << QStringList{chain, "  Genève", gate + "*"};
        QTest::newRow("users are not in the tree") << "zoe" << QStringList{};
        QTest::newRow("no match") << "zzz" << QStringList{};
        QTest::newRow("100 000 characters") << QString(100000, QLatin1Char('e')) << QStringList{};
        QTest::newRow("empty") << "" << QStringList{};
    }

    void matches()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, rows);
        ZarnObjectsRepository repository;
        fillChain(repository);
        ObjectFinder finder;
        finder.setRepository(&repository);
        QAbstractItemModelTester tester(finder.model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        finder.setText(text);
        QCOMPARE(describe(finder.model()), rows);
        QCOMPARE(finder.active(), !text.trimmed().isEmpty());
        const auto isMatch = [](const QString &row) { return row.endsWith(QLatin1Char('*')); };
        QCOMPARE(finder.matchCount(), int(std::count_if(rows.begin(), rows.end(), isMatch)));
        // the first match is current
        QCOMPARE(finder.currentMatch(), finder.matchCount() > 0 ? 0 : -1);
    }

    // Down and Up walk the matches round; Enter shows the current match when it is a stream,
    // else its first stream, else nothing.
    void currentMatchAndItsStream()
    {
        ZarnObjectsRepository repository;
        fillChain(repository);
        ObjectFinder finder;
        finder.setRepository(&repository);
        finder.setText(QStringLiteral("a")); // Chain, Café, Caisse, Porte [arrière], Gate, Quai
        QCOMPARE(finder.matchCount(), 6);
        QCOMPARE(finder.currentId(), QStringLiteral("1"));
        QCOMPARE(finder.streamToShow(), QStringLiteral("31"));
        finder.next();
        QCOMPARE(finder.currentId(), QStringLiteral("3"));
        QCOMPARE(finder.streamToShow(), QStringLiteral("31"));
        finder.next();
        QCOMPARE(finder.currentId(), QStringLiteral("32"));
        QCOMPARE(finder.streamToShow(), QStringLiteral("32"));
        finder.previous();
        finder.previous();
        finder.previous();
        QCOMPARE(finder.currentId(), QStringLiteral("61"));
        QCOMPARE(finder.model()->index(finder.currentRow(), 0).data(FoundObjects::IdRole),
                 QVariant(QStringLiteral("61")));
        // a click on an ancestor's row changes nothing
        QVERIFY(!finder.chooseRow(1));
        QVERIFY(finder.chooseRow(4)); // Porte [arrière]: a door, no stream under it
        QCOMPARE(finder.currentId(), QStringLiteral("33"));
        QCOMPARE(finder.streamToShow(), QString());

        finder.setText(QStringLiteral("dep"));
        QCOMPARE(finder.currentId(), QStringLiteral("4"));
        QCOMPARE(finder.streamToShow(), QString());
        finder.setText(QStringLiteral("nothing here"));
        QCOMPARE(finder.currentMatch(), -1);
        finder.next();
        QCOMPARE(finder.currentMatch(), -1);
        QCOMPARE(finder.streamToShow(), QString());
    }

    // The server's tree changes under a search: the search runs again on the new tree, the
    // current match kept where it is still found.
    void searchFollowsTheServer()
    {
        ZarnObjectsRepository repository;
        fillChain(repository);
        ObjectFinder finder;
        finder.setRepository(&repository);
        QAbstractItemModelTester tester(finder.model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        // the view reads the current match while the model resets
        QStringList seenOnReset;
        connect(finder.model(), &QAbstractItemModel::modelReset, this,
                [&] { seenOnReset << finder.currentId(); });
        finder.setText(QStringLiteral("porte"));
        finder.next();
        QCOMPARE(finder.currentId(), QStringLiteral("41"));
        add(repository, "34", "Chain|Zürich|Café de la Gare|Porte de service", ZarnObject::Sensor);
        QSignalSpy results(&finder, &ObjectFinder::resultsChanged);
        emit repository.rootChanged();
        emit repository.dataChanged();
        QVERIFY(results.wait());
        QCOMPARE(results.count(), 1); // one search for the two signals
        QCOMPARE(finder.matchCount(), 3);
        QCOMPARE(finder.currentId(), QStringLiteral("41"));
        repository.clear();
        emit repository.dataChanged();
        QTRY_COMPARE(finder.model()->rowCount(), 0);
        QCOMPARE(finder.currentMatch(), -1);
        QCOMPARE(seenOnReset, (QStringList{QString(), QString(), QString()}));
    }

    // Places each listed under two parents, 40 levels deep: 2^40 paths. Each place is indexed
    // once, under the first parent reaching it, so the first keystroke finishes.
    void sharedChildrenIndexedOnce()
    {
        ZarnObjectsRepository r;
        add(r, "0", "Chain", ZarnObject::Location);
        QStringList above{"0"};
        QVector<QPair<QStringList, QStringList>> links;
        for (int level = 1; level <= 40; ++level) {
            const QStringList both{QStringLiteral("a%1").arg(level),
                                   QStringLiteral("b%1").arg(level)};
            for (const QString &id : both)
                add(r, id, "Chain|Place " + id, ZarnObject::Location);
            links.append({above, both});
            above = both;
        }
        for (const auto &link : qAsConst(links)) // once all are in: add() links them by path
            for (const QString &parent : link.first)
                r.objectById(parent)->setChildIds(link.second);
        const ObjectIndex index(&r);
        QCOMPARE(index.size(), 1 + 2 * 32); // both places of each level the index goes down to
        const ObjectIndex::Result found = index.find(QStringLiteral("place b7"));
        QCOMPARE(found.matches.size(), std::size_t(1));
        QCOMPARE(index.at(index.at(found.rows[found.matches[0]]).parent).id, QStringLiteral("a6"));
    }

    // Twelve layouts filtered: each keeps its place in the whole list, which numbers the keys.
    void layoutsKeepTheirNumbers()
    {
        NameFilter filter;
        QAbstractItemModelTester tester(&filter,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QStringList names;
        for (int i = 1; i <= 12; ++i)
            names << QStringLiteral("Étage %1").arg(i);
        names[4] = QStringLiteral("Caisses (1*)");
        filter.setNames(names);
        QCOMPARE(filter.count(), 12);
        filter.setText(QStringLiteral("ETAGE 1"));
        QCOMPARE(filter.count(), 4); // 1, 10, 11, 12
        QCOMPARE(filter.index(1, 0).data(NameFilter::WholeIndexRole).toInt(), 9);
        QCOMPARE(filter.nameAt(0), QStringLiteral("Étage 1"));
        filter.setText(QStringLiteral("(1*"));
        QCOMPARE(filter.count(), 1);
        QCOMPARE(filter.index(0, 0).data(NameFilter::WholeIndexRole).toInt(), 4);
        QCOMPARE(filter.index(0, 0).data(NameFilter::NameRole).toString(), names[4]);
        // the server's list changes under the filter
        names.removeAt(0);
        filter.setNames(names);
        QCOMPARE(filter.index(0, 0).data(NameFilter::WholeIndexRole).toInt(), 3);
        filter.setText(QString());
        QCOMPARE(filter.count(), 11);
        QCOMPARE(filter.nameAt(11), QString());
    }
};

QTEST_GUILESS_MAIN(TestFinder)
#include "tst_finder.moc"
