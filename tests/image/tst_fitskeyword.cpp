// Header keywords: the cards they make, and headers edited with them that
// cfitsio then reads back with the same values.
#include "image/FitsImageWriter.h"
#include "image/FitsKeyword.h"
#include "image/FitsObjectHeader.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <fitsio.h>

namespace {
QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The value text cfitsio reads for `key` in the file at `path` (quotes kept
// for texts), or "<missing>".
QString fitsValue(const QString& path, const char* key)
{
    fitsfile* f = nullptr;
    int status = 0;
    char value[FLEN_VALUE] = {};
    fits_open_diskfile(&f, QFile::encodeName(path).constData(), READONLY, &status);
    fits_read_keyword(f, key, value, nullptr, &status);
    int closeStatus = 0;
    if (f)
        fits_close_file(f, &closeStatus);
    return status ? QStringLiteral("<missing>") : QString::fromLatin1(value).trimmed();
}
}

class TestFitsKeyword : public QObject {
    Q_OBJECT
private slots:
    void makesStandardCards_data()
    {
        QTest::addColumn<FitsKeyword>("key");
        QTest::addColumn<QByteArray>("card");
        QTest::newRow("int") << FitsKeyword {"XBINNING", 2, "binning"} << QByteArray("XBINNING=                    2 / binning");
        QTest::newRow("int64") << FitsKeyword {"EPOCH", qint64(1) << 40, ""} << QByteArray("EPOCH   =        1099511627776");
        QTest::newRow("double") << FitsKeyword {"EXPTIME", 2.5, ""} << QByteArray("EXPTIME =                  2.5");
        QTest::newRow("whole double keeps its point") << FitsKeyword {"EXPTIME", 60.0, ""} << QByteArray("EXPTIME =                  60.");
        QTest::newRow("bool") << FitsKeyword {"GUIDELOS", true, ""} << QByteArray("GUIDELOS=                    T");
        QTest::newRow("short text padded") << FitsKeyword {"FILTER", QString("Ha"), ""} << QByteArray("FILTER  = 'Ha      '");
        QTest::newRow("quote doubled, non-ASCII replaced") << FitsKeyword {"OBSERVER", QString("O'Brien é"), ""} << QByteArray("OBSERVER= 'O''Brien ?'");
        QTest::newRow("lower-case name") << FitsKeyword {"date-obs", QString("2026-12-08T03:00:00.123"), ""} << QByteArray("DATE-OBS= '2026-12-08T03:00:00.123'");
        QTest::newRow("long text cut to one card") << FitsKeyword {"COMMENTS", QString(100, 'x'), "lost"} << QByteArray("COMMENTS= '" + QByteArray(68, 'x') + "'");
    }
    void makesStandardCards()
    {
        QFETCH(FitsKeyword, key);
        QFETCH(QByteArray, card);
        const QByteArray made = key.Card();
        QCOMPARE(made.size(), 80);
        QCOMPARE(made.trimmed(), card);
    }

    void editedHeaderReadsBackWithCfitsio()
    {
        QTemporaryDir dir;
        const QString original = dir.filePath("camera.fit");
        FitsImageWriter::Write(original, 4, 3, std::vector<uint16_t>(12, 1000),
                               {{"EXPTIME", 10, ""}, {"FILTER", QString("Red"), ""}, {"OBJECT", QString("old"), ""}});
        const QByteArray bytes = readAll(original);
        QList<QByteArray> cards {FitsObjectHeader::Card("M42-001R.fit")};
        for (const FitsKeyword& k : std::vector<FitsKeyword> {{"FILTER", QString("Ha"), ""}, {"EPOCH", 7, "dithers so far"},
                                                               {"GUIDELOS", false, ""}, {"XPIXSZ", 3.76, "um"}})
            cards << k.Card();
        const FitsObjectHeader header = FitsObjectHeader::Edit(bytes, cards);
        const QString edited = dir.filePath("edited.fit");
        QFile out(edited);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(header.Header);
        out.write(bytes.mid(header.DataOffset));
        out.close();

        QCOMPARE(header.Header.size() % 2880, 0);
        QCOMPARE(fitsValue(edited, "OBJECT"), QString("'M42-001R.fit'"));
        QCOMPARE(fitsValue(edited, "FILTER"), QString("'Ha      '"));
        QCOMPARE(fitsValue(edited, "EXPTIME"), QString("10"));
        QCOMPARE(fitsValue(edited, "EPOCH"), QString("7"));
        QCOMPARE(fitsValue(edited, "GUIDELOS"), QString("F"));
        QCOMPARE(fitsValue(edited, "XPIXSZ"), QString("3.76"));
        // The keyword replaced in place: only one FILTER card.
        QCOMPARE(header.Header.count("FILTER  ="), 1);
        QCOMPARE(readAll(edited).size(), bytes.size());
    }
};

QTEST_GUILESS_MAIN(TestFitsKeyword)
#include "tst_fitskeyword.moc"
