// The devices dialog's model without widgets: what it shows for a settings
// file (the drivers' own reading), what OK writes (only what changed, every
// other byte kept), and what keeps OK from writing.
#include "devices/DeviceChoices.h"
#include "platform/LocaleInfo.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using Edits = QList<QPair<int, QString>>;   // field, text typed
Q_DECLARE_METATYPE(Edits)

namespace {
const QByteArray kHandEdited = "; my observatory\r\n[Setup]\r\nMainCCD=1\r\n\r\n[camera]\r\n  driver = indi  \r\n"
                               "IndiHost=obs-pc\r\nIndiPort=7624\r\nIndiCamera=ZWO CCD ASI294MC Pro\r\n"
                               "IndiWheel=ZWO EFW\r\nSensorWidth=banana\r\n[Guider]\r\nDriver=PHD2\r\n"
                               "Phd2Host=obs-pc\r\nPhd2Instance=2\r\n";

struct File {
    QTemporaryDir dir;
    QString path = dir.filePath("Tandexa.ini");
    explicit File(const QByteArray& bytes)
    {
        QFile f(path);
        if (!bytes.isNull() && f.open(QIODevice::WriteOnly))
            f.write(bytes);
    }
    QByteArray bytes() const
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

DeviceChoices loaded(const File& file, const Edits& edits)
{
    DeviceChoices choices;
    choices.Load(file.path);
    for (const auto& [field, text] : edits)
        choices.SetValue(DeviceChoices::Field(field), text);
    return choices;
}
}

class DeviceChoicesTest : public QObject {
    Q_OBJECT
private slots:
    void showsWhatTheDriversRead_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("shown");
        QTest::newRow("no file: simulator") << QByteArray() << int(DeviceChoices::CameraDriver) << "Simulator";
        QTest::newRow("no file: own guider") << QByteArray() << int(DeviceChoices::GuiderDriver) << "Camera";
        QTest::newRow("driver in any case") << kHandEdited << int(DeviceChoices::CameraDriver) << "INDI";
        QTest::newRow("unknown driver kept") << QByteArray("[Camera]\nDriver=MaxIm\n") << int(DeviceChoices::CameraDriver) << "MaxIm";
        QTest::newRow("port out of range: the default")
            << QByteArray("[Camera]\nIndiPort=99999\n") << int(DeviceChoices::IndiPort) << "7624";
        QTest::newRow("empty wheel: the camera's own") << QByteArray("[Camera]\nIndiWheel=\n") << int(DeviceChoices::IndiWheel) << "";
        QTest::newRow("filters tidied") << QByteArray("[Camera]\nFilters= Red , Green,,Blue\n") << int(DeviceChoices::Filters)
                                        << "Red, Green, Blue";
        QTest::newRow("bad width: the default") << kHandEdited << int(DeviceChoices::SensorWidth) << "1536";
        QTest::newRow("instance") << kHandEdited << int(DeviceChoices::Phd2Instance) << "2";
    }
    void showsWhatTheDriversRead()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, field);
        QFETCH(QString, shown);
        const File f(file);
        QCOMPARE(loaded(f, {}).Value(DeviceChoices::Field(field)), shown);
    }

    void writesOnlyWhatChanged_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<Edits>("edits");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("hand-edited, nothing changed") << kHandEdited << Edits {} << kHandEdited;
        QTest::newRow("hand-edited, own wheel, same port typed otherwise")
            << kHandEdited << Edits {{DeviceChoices::IndiWheel, ""}, {DeviceChoices::IndiPort, " 07624"}}
            << QByteArray(kHandEdited).replace("IndiWheel=ZWO EFW", "IndiWheel=");
        QTest::newRow("a bad value of a device not chosen is not written")
            << kHandEdited << Edits {{DeviceChoices::SensorHeight, "12x"}, {DeviceChoices::IndiReplyTimeout, "20"}}
            << QByteArray(kHandEdited).replace("banana\r\n", "banana\r\nIndiReplyTimeout=20\r\n");
        QTest::newRow("no file: INDI chosen names its devices")
            << QByteArray() << Edits {{DeviceChoices::CameraDriver, "INDI"}, {DeviceChoices::IndiWheel, ""}}
            << QByteArray("[Camera]\r\nDriver=INDI\r\nIndiHost=localhost\r\nIndiPort=7624\r\nIndiCamera=CCD Simulator\r\n"
                          "IndiWheel=\r\n[Guider]\r\nDriver=Camera\r\n");
        QTest::newRow("simulator settings, PHD2")
            << QByteArray("[Camera]\r\nDriver=Simulator\r\n[Guider]\r\nDriver=None\r\n")
            << Edits {{DeviceChoices::Filters, "L, R ,G"}, {DeviceChoices::TimeScale, "0.5"},
                      {DeviceChoices::GuiderDriver, "PHD2"}, {DeviceChoices::Phd2Instance, "3"}}
            << QByteArray("[Camera]\r\nDriver=Simulator\r\nFilters=L,R,G\r\nTimeScale=0.5\r\n[Guider]\r\nDriver=PHD2\r\n"
                          "Phd2Host=localhost\r\nPhd2Instance=3\r\n");
    }
    void writesOnlyWhatChanged()
    {
        QFETCH(QByteArray, file);
        QFETCH(Edits, edits);
        QFETCH(QByteArray, after);
        const File f(file);
        loaded(f, edits).Save(f.path);
        QCOMPARE(f.bytes(), after);
        // What was written reads back as it was chosen: nothing is left to write.
        QVERIFY(!loaded(f, edits).Changed());
        QCOMPARE(loaded(File(file), edits).Changed(), file != after && !edits.isEmpty());
    }

    void problemsKeepOkFromWriting_data()
    {
        QTest::addColumn<Edits>("edits");
        QTest::addColumn<QString>("problem");   // the first one
        const Edits indi {{DeviceChoices::CameraDriver, "INDI"}};
        QTest::newRow("port 0") << indi + Edits {{DeviceChoices::IndiPort, "0"}}
                                << "INDI server port: give a whole number from 1 to 65535.";
        QTest::newRow("port not a number") << indi + Edits {{DeviceChoices::IndiPort, "76 24"}}
                                           << "INDI server port: give a whole number from 1 to 65535.";
        QTest::newRow("host with a blank") << indi + Edits {{DeviceChoices::IndiHost, "obs pc"}}
                                           << "INDI server host: a host name has no blanks.";
        QTest::newRow("no camera") << indi + Edits {{DeviceChoices::IndiCamera, "  "}} << "INDI camera: give a name.";
        QTest::newRow("time-out zero") << indi + Edits {{DeviceChoices::IndiImageTimeout, "0"}}
                                       << "Image time-out: give a number of seconds from 0.05 to 86400.";
        QTest::newRow("no filters") << Edits {{DeviceChoices::Filters, " , "}}
                                    << "Filters: give at least one filter name (names are separated by commas).";
        QTest::newRow("a filter named Filter...") << Edits {{DeviceChoices::Filters, "Red,Filter 2"}}
                                                  << "Filters: a name may not begin with \"Filter\" (Tandexa reads the "
                                                     "names up to the first one that does).";
        QTest::newRow("sensor too small") << Edits {{DeviceChoices::SensorWidth, "15"}}
                                          << "Sensor width: give a whole number from 16 to 16384.";
        QTest::newRow("instance 0") << Edits {{DeviceChoices::GuiderDriver, "PHD2"}, {DeviceChoices::Phd2Instance, "0"}}
                                    << "PHD2 instance: give a whole number from 1 to 61136.";
        QTest::newRow("unknown driver") << Edits {{DeviceChoices::CameraDriver, "MaxIm"}}
                                        << "Choose a camera (the settings file names \"MaxIm\", which Tandexa does not know).";
        QTest::newRow("INDI fields while the simulator is chosen") << Edits {{DeviceChoices::IndiPort, "x"}} << "";
    }
    void problemsKeepOkFromWriting()
    {
        QFETCH(Edits, edits);
        QFETCH(QString, problem);
        const File f("[Camera]\r\n");
        const auto problems = loaded(f, edits).Problems();
        QCOMPARE(problems.isEmpty() ? QString() : problems.first().second, problem);
    }

    void decimalsFollowTheLocale()
    {
        SetDecimalSeparator(QLatin1Char(','));
        const File f("[Camera]\r\nTimeScale=0,25\r\n");
        DeviceChoices choices = loaded(f, {});
        QCOMPARE(choices.Value(DeviceChoices::TimeScale), "0,25");
        choices.SetValue(DeviceChoices::TimeScale, "2,5");
        choices.Save(f.path);
        SetDecimalSeparator(QLatin1Char('.'));
        QCOMPARE(f.bytes(), QByteArray("[Camera]\r\nTimeScale=2,5\r\nDriver=Simulator\r\n[Guider]\r\nDriver=Camera\r\n"));
    }

    void phd2PortAndIndiNote()
    {
        const File f(kHandEdited);
        DeviceChoices choices = loaded(f, {});
        QCOMPARE(choices.Phd2Port(), "4401");
        QVERIFY(choices.Notes().isEmpty());
        choices.SetValue(DeviceChoices::GuiderDriver, "Camera");
        QCOMPARE(choices.Notes().size(), 1);
        choices.SetValue(DeviceChoices::Phd2Instance, "x");
        QCOMPARE(choices.Phd2Port(), "");
    }
};

QTEST_GUILESS_MAIN(DeviceChoicesTest)
#include "tst_devicechoices.moc"
