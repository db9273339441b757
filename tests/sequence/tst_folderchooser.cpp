// The destination folder chooser and the new-folder dialog, walking a
// temporary directory tree.
#include "sequence/DirectoryBrowser.h"
#include "sequence/TFolderNameForm.h"
#include "sequence/TSelDirectoryForm.h"

#include "platform/MessageBox.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

#include "WidgetLookup.h"

namespace {
QStringList listed(const TSelDirectoryForm& form)
{
    QStringList names;
    for (int i = 0; i < child<QListWidget>(form, "DirList")->count(); ++i)
        names << child<QListWidget>(form, "DirList")->item(i)->text();
    return names;
}

void highlight(TSelDirectoryForm& form, const QString& name)
{
    const auto items = child<QListWidget>(form, "DirList")->findItems(name, Qt::MatchExactly);
    QCOMPARE(items.size(), 1);
    child<QListWidget>(form, "DirList")->setCurrentItem(items.first());
}
}

class TestFolderChooser : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_tmp;
    QString m_root;   // the tree's top, with a trailing "/"
    QStringList m_boxes;
    MessageBoxHandler m_previous;

private slots:
    void initTestCase()
    {
        m_root = m_tmp.path() + "/";
        QDir root(m_tmp.path());
        QVERIFY(root.mkpath("Images/2008/Jan"));
        QVERIFY(root.mkpath("Images/2009"));
        QVERIFY(root.mkpath("Imagery"));
        QVERIFY(root.mkpath(".hidden"));
        QVERIFY(root.mkpath("Images/.cache"));
        QFile file(root.filePath("Images/notes.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        m_previous = SetMessageBoxHandler([this](const QString& text, const QString& caption, int flags) {
            m_boxes << QString("%1|%2|%3").arg(text, caption).arg(flags);
            return MsgBox::ResultOk;
        });
    }
    void cleanupTestCase() { SetMessageBoxHandler(m_previous); }
    void init() { m_boxes.clear(); }

    void listsOnlySubFoldersWithoutDotNames()
    {
        DirectoryBrowser browser(m_root + "Images");
        // Without a trailing separator the folder itself is listed, not the
        // entries of its parent that begin with its name ("Imagery").
        QCOMPARE(browser.Refresh(), (QStringList{"2008", "2009"}));
        QCOMPARE(browser.Path(), m_root + "Images/");
        DirectoryBrowser top(m_root);
        QCOMPARE(top.Refresh(), (QStringList{"Imagery", "Images"}));
        DirectoryBrowser missing(m_root + "nowhere");
        QVERIFY(missing.Refresh().isEmpty());
        QCOMPARE(missing.Accept(QString()), m_root + "nowhere/");
    }

    void upCutsTheLastFolderAndStopsAtTheRoot()
    {
        DirectoryBrowser browser(m_root + "Images/2008/");
        browser.Up();
        QCOMPARE(browser.Path(), m_root + "Images/");
        browser.Up();
        QCOMPARE(browser.Path(), m_root);
        DirectoryBrowser nearRoot("/tmp/");
        nearRoot.Up();
        QCOMPARE(nearRoot.Path(), QString("/"));
        nearRoot.Up();
        QCOMPARE(nearRoot.Path(), QString("/"));

        DirectoryBrowser windows("C:\\Images\\2008\\", QChar('\\'));
        windows.Up();
        QCOMPARE(windows.Path(), QString("C:\\Images\\"));
        windows.Up();
        QCOMPARE(windows.Path(), QString("C:\\"));
        windows.Up();
        QCOMPARE(windows.Path(), QString("C:\\"));
        windows.Down("Images");
        QCOMPARE(windows.Path(), QString("C:\\Images\\"));
    }

    void createsOneLevelAndRefusesExistingOrEmpty()
    {
        DirectoryBrowser browser(m_root + "Images/");
        QVERIFY(!browser.CreateFolder("2008"));
        QVERIFY(!browser.CreateFolder(""));
        QVERIFY(!browser.CreateFolder("no/parent"));
        QCOMPARE(browser.Path(), m_root + "Images/");
        QVERIFY(browser.CreateFolder("Fresh"));
        QCOMPARE(browser.Path(), m_root + "Images/Fresh/");
        QVERIFY(QFileInfo(m_root + "Images/Fresh").isDir());
        QVERIFY(QDir(m_root + "Images/Fresh").removeRecursively());
    }

    void dialogWalksDownAndUpAndReturnsTheCurrentFolder()
    {
        QString result = m_root + "Images";
        TSelDirectoryForm form(nullptr, result);
        QCOMPARE(form.windowTitle(), QString("Select destination directory"));
        QCOMPARE(form.size(), QSize(347, 383));
        form.show();
        QCOMPARE(child<QLineEdit>(form, "DirEdit")->text(), m_root + "Images/");
        QCOMPARE(child<QLineEdit>(form, "DirEdit")->cursorPosition(), int(child<QLineEdit>(form, "DirEdit")->text().size()) - 1);
        QCOMPARE(listed(form), (QStringList{"2008", "2009"}));

        form.DirListDblClick();   // nothing highlighted: stays
        QCOMPARE(form.CurrentPath(), m_root + "Images/");
        highlight(form, "2008");
        form.DirListDblClick();
        QCOMPARE(form.CurrentPath(), m_root + "Images/2008/");
        QCOMPARE(listed(form), QStringList{"Jan"});
        form.UpButtonClick();
        QCOMPARE(listed(form), (QStringList{"2008", "2009"}));
        QCOMPARE(result, m_root + "Images");   // untouched until OK

        QTest::mouseClick(child<QPushButton>(form, "OkButton"), Qt::LeftButton);
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(result, m_root + "Images/");
    }

    void okWithAHighlightedEntryReturnsThatFolder()
    {
        QString result = m_root;
        TSelDirectoryForm form(nullptr, result);
        form.show();
        highlight(form, "Images");
        form.accept();
        QCOMPARE(result, m_root + "Images/");
    }

    void cancelLeavesTheCallersText()
    {
        QString result = m_root + "Images";
        TSelDirectoryForm form(nullptr, result);
        form.show();
        highlight(form, "2009");
        QTest::mouseClick(child<QPushButton>(form, "CancelButton"), Qt::LeftButton);
        QCOMPARE(form.result(), int(QDialog::Rejected));
        QCOMPARE(result, m_root + "Images");
    }

    void newFolderIsCreatedAndEntered()
    {
        QString result = m_root + "Images/";
        TSelDirectoryForm form(nullptr, result);
        form.AskFolderName = [](QString& name) { name = "Night 1"; return true; };
        form.show();
        form.NewButtonClick();
        QVERIFY(m_boxes.isEmpty());
        QCOMPARE(form.CurrentPath(), m_root + "Images/Night 1/");
        QVERIFY(QFileInfo(m_root + "Images/Night 1").isDir());
        QVERIFY(listed(form).isEmpty());
        form.UpButtonClick();
        QVERIFY(listed(form).contains("Night 1"));

        // The same name again fails and the browser stays where it is.
        form.NewButtonClick();
        QCOMPARE(m_boxes, QStringList{"Error creating directory|Error|16"});
        QCOMPARE(form.CurrentPath(), m_root + "Images/");

        // OK on an empty name tries the current folder again, which fails.
        m_boxes.clear();
        form.AskFolderName = [](QString& name) { name.clear(); return true; };
        form.NewButtonClick();
        QCOMPARE(m_boxes, QStringList{"Error creating directory|Error|16"});

        // Cancel in the name dialog creates nothing.
        m_boxes.clear();
        form.AskFolderName = [](QString&) { return false; };
        form.NewButtonClick();
        QVERIFY(m_boxes.isEmpty());
        QCOMPARE(form.CurrentPath(), m_root + "Images/");
        QVERIFY(QDir(m_root + "Images/Night 1").removeRecursively());
    }

    void folderNameDialogWritesOnlyOnOk()
    {
        QString name = "unchanged";
        {
            TFolderNameForm form(nullptr, name);
            QCOMPARE(form.windowTitle(), QString("New folder"));
            QCOMPARE(form.size(), QSize(331, 164));
            QVERIFY(child<QPushButton>(form, "OkButton")->isEnabled());
            QTest::keyClicks(child<QLineEdit>(form, "FolderEdit"), "ab");
            QVERIFY(child<QPushButton>(form, "OkButton")->isEnabled());
            child<QLineEdit>(form, "FolderEdit")->clear();
            QVERIFY(!child<QPushButton>(form, "OkButton")->isEnabled());
            child<QLineEdit>(form, "FolderEdit")->setText("Flats");
            QVERIFY(child<QPushButton>(form, "OkButton")->isEnabled());
            form.reject();
        }
        QCOMPARE(name, QString("unchanged"));
        TFolderNameForm form(nullptr, name);
        child<QLineEdit>(form, "FolderEdit")->setText("Flats");
        QTest::mouseClick(child<QPushButton>(form, "OkButton"), Qt::LeftButton);
        QCOMPARE(name, QString("Flats"));
    }
};

QTEST_MAIN(TestFolderChooser)
#include "tst_folderchooser.moc"
