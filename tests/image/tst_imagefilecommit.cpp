// The one step that puts every FITS file in place: the mode of a new file
// and of a replaced one, and a file that appears at the last instant, each
// leaving no temporary file behind.
#include "image/ImageError.h"
#include "image/ImageFileCommit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <atomic>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {
QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// The error's text ("exists: ..." for ImageExistsError), empty when written.
QString commit(const QString& path, const QByteArray& bytes, ImageFileCommit::Mode mode)
{
    try {
        ImageFileCommit::Write(path, {QByteArrayView(bytes).first(bytes.size() / 2), QByteArrayView(bytes).sliced(bytes.size() / 2)}, mode);
    } catch (const ImageExistsError& e) {
        return "exists: " + e.message();
    } catch (const ImageError& e) {
        return e.message();
    }
    return QString();
}

QStringList leftovers(const QString& dir) { return QDir(dir).entryList({".tandexa-*"}, QDir::Files | QDir::Hidden); }
}

class ImageFileCommitTest : public QObject {
    Q_OBJECT

private slots:
    void newFilesGetTheUsualModeAndReplacedOnesKeepTheirs()
    {
        // (Another user's file, create-new refusing a file and a full disk:
        // tests/camera/simulator, through the writer that uses this step.)
        QTemporaryDir dir;
        const QString path = dir.filePath("Img-001R.fit");
        const mode_t mask = ::umask(0022);
        const QString created = commit(path, "new", ImageFileCommit::Mode::CreateNew);
        ::umask(mask);
        struct stat st {};
        ::stat(QFile::encodeName(path).constData(), &st);
        QCOMPARE(created, QString());
        QCOMPARE(int(st.st_mode & 07777), 0644);   // not a temporary file's 0600
        ::chmod(QFile::encodeName(path).constData(), 0444);
        QCOMPARE(commit(path, "replaced", ImageFileCommit::Mode::Replace), QString());
        ::stat(QFile::encodeName(path).constData(), &st);
        QCOMPARE(int(st.st_mode & 07777), 0444);
        QCOMPARE(readAll(path), QByteArray("replaced"));
        QCOMPARE(leftovers(dir.path()), QStringList());
    }

    void everyByteArrivesWhateverTheSizeAndSplit_data()
    {
        // From 1 MB on, through an aligned buffer of 4 MB straight to the
        // disk: whole blocks, a tail, parts that straddle the buffer.
        QTest::addColumn<qsizetype>("size");
        QTest::addColumn<QList<qsizetype>>("cuts");   // where one part ends and the next begins
        const qsizetype mb = 1024 * 1024;
        QTest::newRow("one header block") << qsizetype(2880) << QList<qsizetype> {};
        QTest::newRow("whole blocks only") << mb << QList<qsizetype> {4096, 4097};
        QTest::newRow("header, data, padding") << 4 * mb + 2880 * 3 + 17 << QList<qsizetype> {2880 * 2, 4 * mb + 2880};
        QTest::newRow("parts across buffers") << 9 * mb + 1234 << QList<qsizetype> {1, 3 * mb + 7, 8 * mb + 4095};
    }

    void everyByteArrivesWhateverTheSizeAndSplit()
    {
        QFETCH(qsizetype, size);
        QFETCH(QList<qsizetype>, cuts);
        QByteArray bytes(size, Qt::Uninitialized);
        std::generate(bytes.begin(), bytes.end(), [i = 0u]() mutable { return char((i++ * 2654435761u) >> 11); });
        QList<QByteArrayView> parts;
        for (qsizetype from = 0; qsizetype cut : cuts << size)
            parts.append(QByteArrayView(bytes).sliced(from, cut - from)), from = cut;
        QTemporaryDir dir;
        for (auto mode : {ImageFileCommit::Mode::CreateNew, ImageFileCommit::Mode::Replace}) {
            ImageFileCommit::Write(dir.filePath("Img-001R.fit"), parts, mode);
            QVERIFY(readAll(dir.filePath("Img-001R.fit")) == bytes);
        }
        QCOMPARE(leftovers(dir.path()), QStringList());
    }

    void lastInstantFileIsNeverReplaced()
    {
        // A rival creates the file while the writer is between its look and
        // its last step: create-new refuses at the last step itself.
        QTemporaryDir dir;
        const QString path = dir.filePath("race.fit");
        int refused = 0;
        for (int i = 0; i < 200; ++i) {
            QFile::remove(path);
            std::atomic<bool> go {false};
            std::thread rival([&] {
                while (!go) {}
                QFile f(path);
                if (f.open(QIODevice::NewOnly))
                    f.write("rival");
            });
            go = true;
            const QString error = commit(path, "mine", ImageFileCommit::Mode::CreateNew);
            rival.join();
            QCOMPARE(readAll(path), error.isEmpty() ? QByteArray("mine") : QByteArray("rival"));
            refused += error.startsWith("exists: ") ? 1 : 0;
        }
        QCOMPARE(leftovers(dir.path()), QStringList());
        qInfo("the rival came first %d times in 200", refused);
    }
};

QTEST_GUILESS_MAIN(ImageFileCommitTest)
#include "tst_imagefilecommit.moc"
