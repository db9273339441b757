// The one step that puts every FITS file in place: what each mode does with
// a file that is there, the mode and owner a replaced file keeps, a file
// that appears at the last instant, and a full disk, each leaving no
// temporary file behind. The simulated camera's writer goes through it and
// still writes files cfitsio reads.
#include "image/FitsImageWriter.h"
#include "image/ImageError.h"
#include "image/ImageFileCommit.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <fitsio.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {
QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeRaw(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// What one row finds at the end: the text of the error (empty when none),
// the file's bytes, mode and owner.
struct Outcome {
    QString error;
    bool exists = false;
    QByteArray bytes;
    mode_t mode = 0;
    uid_t uid = 0;
    gid_t gid = 0;
};

Outcome commit(const QString& path, const QByteArray& bytes, ImageFileCommit::Mode mode)
{
    Outcome o;
    try {
        ImageFileCommit::Write(path, {QByteArrayView(bytes).first(bytes.size() / 2), QByteArrayView(bytes).sliced(bytes.size() / 2)}, mode);
    } catch (const ImageExistsError& e) {
        o.error = "exists: " + e.message();
    } catch (const ImageError& e) {
        o.error = e.message();
    }
    struct stat st {};
    o.exists = ::stat(QFile::encodeName(path).constData(), &st) == 0;
    o.bytes = readAll(path);
    o.mode = st.st_mode & 07777;
    o.uid = st.st_uid;
    o.gid = st.st_gid;
    return o;
}

QStringList leftovers(const QString& dir)
{
    return QDir(dir).entryList({".tandexa-*"}, QDir::Files | QDir::Hidden);
}
}

class ImageFileCommitTest : public QObject {
    Q_OBJECT

private slots:
    void modes_data()
    {
        QTest::addColumn<bool>("before");        // a file is there
        QTest::addColumn<int>("beforeMode");
        QTest::addColumn<bool>("otherOwner");    // it belongs to uid/gid 4321 (root only)
        QTest::addColumn<int>("mode");           // ImageFileCommit::Mode
        QTest::addColumn<QString>("error");      // start of the error; empty: written
        QTest::addColumn<int>("afterMode");
        QTest::newRow("new file, create new") << false << 0 << false << int(ImageFileCommit::Mode::CreateNew) << "" << (0666 & ~0022);
        QTest::newRow("new file, replace") << false << 0 << false << int(ImageFileCommit::Mode::Replace) << "" << (0666 & ~0022);
        QTest::newRow("existing file, create new: refused, untouched")
            << true << 0644 << false << int(ImageFileCommit::Mode::CreateNew) << "exists: Unable to save image " << 0644;
        QTest::newRow("replace keeps 0640") << true << 0640 << false << int(ImageFileCommit::Mode::Replace) << "" << 0640;
        QTest::newRow("replace keeps a read-only 0444") << true << 0444 << false << int(ImageFileCommit::Mode::Replace) << "" << 0444;
        QTest::newRow("replace keeps another user's 0640 file theirs")
            << true << 0640 << true << int(ImageFileCommit::Mode::Replace) << "" << 0640;
    }

    void modes()
    {
        QFETCH(bool, before);
        QFETCH(int, beforeMode);
        QFETCH(bool, otherOwner);
        QFETCH(int, mode);
        QFETCH(QString, error);
        QFETCH(int, afterMode);
        if (otherOwner && ::geteuid() != 0)
            QSKIP("giving a file to another user needs root");
        QTemporaryDir dir;
        const QString path = dir.filePath("Img-001R.fit");
        if (before) {
            writeRaw(path, "old");
            QVERIFY(::chmod(QFile::encodeName(path).constData(), mode_t(beforeMode)) == 0);
            if (otherOwner)
                QVERIFY(::chown(QFile::encodeName(path).constData(), 4321, 4321) == 0);
        }
        const mode_t oldMask = ::umask(0022);
        const Outcome o = commit(path, QByteArray(5000, 'x'), ImageFileCommit::Mode(mode));
        ::umask(oldMask);
        QVERIFY2(error.isEmpty() ? o.error.isEmpty() : o.error.startsWith(error), qPrintable(o.error));
        QCOMPARE(o.bytes, error.isEmpty() ? QByteArray(5000, 'x') : QByteArray("old"));
        QCOMPARE(int(o.mode), afterMode);
        QCOMPARE(o.uid, otherOwner ? uid_t(4321) : ::geteuid());
        QCOMPARE(o.gid, otherOwner ? gid_t(4321) : ::getegid());
        QCOMPARE(leftovers(dir.path()), QStringList());
    }

    void refusalsNameTheReason_data()
    {
        QTest::addColumn<QString>("where");   // "missing", "readonly", "full"
        QTest::addColumn<QString>("reason");
        QTest::newRow("folder missing") << "missing" << "the folder %1/missing does not exist";
        QTest::newRow("folder read-only") << "readonly" << "Permission denied";
        QTest::newRow("disk full") << "full" << "no space left on the device";
    }

    void refusalsNameTheReason()
    {
        QFETCH(QString, where);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        QString folder = dir.filePath(where);
        if (where == "readonly") {
            if (::geteuid() == 0)
                QSKIP("root writes into read-only folders");
            QDir().mkdir(folder);
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
        }
        if (where == "full") {
            QDir().mkdir(folder);
            QProcess mount;
            mount.start("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", folder});
            if (!mount.waitForFinished(5000) || mount.exitCode() != 0)
                QSKIP("a small file system to fill needs mount(8) and root");
            writeRaw(folder + "/Img-001R.fit", "old");
        }
        const QString path = folder + "/Img-001R.fit";
        const Outcome o = commit(path, QByteArray(200 * 1024, 'x'), ImageFileCommit::Mode::Replace);
        const QString expected = QStringLiteral("Unable to save image %1: %2").arg(path, reason.arg(dir.path()));
        const QStringList left = QFileInfo::exists(folder) ? leftovers(folder) : QStringList();
        const QByteArray kept = o.bytes;
        if (where == "full")
            QProcess::execute("umount", {folder});
        QCOMPARE(o.error, expected);
        QCOMPARE(left, QStringList());
        QCOMPARE(kept, where == "full" ? QByteArray("old") : QByteArray("<missing>"));
    }

    void lastInstantFileIsNeverReplaced()
    {
        // A file that appears after the writer looked but before it puts its
        // own in place: create-new refuses at the final step itself.
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
            const Outcome o = commit(path, "mine", ImageFileCommit::Mode::CreateNew);
            rival.join();
            // Either this writer came first (and the rival found its file) or
            // the rival's file stands; never the rival's file replaced.
            if (!o.error.isEmpty()) {
                QVERIFY(o.error.startsWith("exists: "));
                QCOMPARE(readAll(path), QByteArray("rival"));
                ++refused;
            } else {
                QCOMPARE(readAll(path), QByteArray("mine"));
            }
        }
        QCOMPARE(leftovers(dir.path()), QStringList());
        qInfo("the rival came first %d times in 200", refused);
    }

    void simulatorFilesStillReadBack()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("sim.fit");
        std::vector<uint16_t> pixels(30 * 20);
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = uint16_t(i * 97);
        FitsImageWriter::Write(path, 30, 20, pixels, {{"EXPTIME", 5, "s"}}, ImageFileCommit::Mode::CreateNew);
        QVERIFY_THROWS_EXCEPTION(ImageExistsError, FitsImageWriter::Write(path, 30, 20, pixels, {}, ImageFileCommit::Mode::CreateNew));
        fitsfile* f = nullptr;
        int status = 0;
        fits_open_diskfile(&f, QFile::encodeName(path).constData(), READONLY, &status);
        std::vector<uint16_t> back(pixels.size());
        int anynul = 0;
        fits_read_img(f, TUSHORT, 1, LONGLONG(back.size()), nullptr, back.data(), &anynul, &status);
        fits_close_file(f, &status);
        QCOMPARE(status, 0);
        QVERIFY(back == pixels);
        QCOMPARE(QFileInfo(path).size() % 2880, 0);
    }
};

QTEST_GUILESS_MAIN(ImageFileCommitTest)
#include "tst_imagefilecommit.moc"
